// The texts and the skin the reference host serves: its own for every number of the dialog and
// its message box, the profile's where it gives one; the default brand name only from a profile.
#include <gtest/gtest.h>

#include <string>

#include "HostServices.h"
#include "LoginSettings.h"

namespace {

TEST(HostStringsTest, OwnTextsUnlessTheProfileGivesOne) {
    HostProfile profile;
    profile.strings[STRING_DIALOG_GROUP] = "Proxy";
    profile.strings[STRING_DIALOG_OK] = "";  // given, and empty
    HostStringRes strings(profile);
    EXPECT_EQ(strings.GetString(STRING_DIALOG_GROUP), "Proxy");
    EXPECT_EQ(strings.GetString(STRING_DIALOG_OK), "");
    EXPECT_EQ(strings.GetString(STRING_DIALOG_TITLE), "\xB5\xC7\xC2\xBC\xC9\xE8\xD6\xC3");  // GBK
    EXPECT_EQ(strings.GetString(STRING_DIALOG_CANCEL), "\xC8\xA1\xCF\xFB");
    EXPECT_EQ(strings.GetString(STRING_DEFAULT_BRAND_NAME), "");
    const int32_t asked[] = {STRING_DIALOG_NO_TYPE_CAPTION,
                             STRING_MESSAGE_BOX_TITLE,
                             4102,
                             4103,
                             4109,
                             4110,
                             STRING_DIALOG_CLOSE_TIP,
                             STRING_DIALOG_NO_TYPE,
                             STRING_PROXY_TYPE_NONE,
                             STRING_PROXY_TYPE_USER,
                             STRING_PROXY_TYPE_BROWSER};
    for (int32_t id : asked) EXPECT_FALSE(strings.GetString(id).empty()) << id;
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(strings.GetString(STRING_DIALOG_LABEL_FIRST + i).empty()) << i;
    }
}

TEST(HostStringsTest, DefaultSkinUnlessTheProfileNamesOne) {
    HostProfile profile;
    HostSetting setting(profile, "", nullptr);
    std::string skin;
    ASSERT_TRUE(setting.GetSysSetting(SETTING_SKIN.section, SETTING_SKIN.key, skin));
    EXPECT_NE(skin.find("skin"), std::string::npos);
    ASSERT_TRUE(profile.system.Set(SETTING_SKIN.section, SETTING_SKIN.key, "skin/other"));
    ASSERT_TRUE(setting.GetSysSetting(SETTING_SKIN.section, SETTING_SKIN.key, skin));
    EXPECT_EQ(skin, "skin/other");
}

}  // namespace
