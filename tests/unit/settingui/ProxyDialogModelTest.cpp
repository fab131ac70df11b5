// The proxy settings dialog's model against a fake host: the texts it offers, the edits per
// proxy type, what OK stores and how a failed save ends.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "ProxyDialogModel.h"
#include "RegistrySandbox.h"
#include "libs/trace/TraceCapture.h"

namespace {

class ProxyDialogModelTest : public ::testing::Test {
protected:
    void StoreProxy(const char* type, const char* address, const char* port, const char* user,
                    const char* password) {
        const std::string values[] = {type, address, port, user, host.crypt.Encrypt(password)};
        const char* keys[] = {"TYPE", "ADDRESS", "PORT", "USER", "PASSWORD"};
        for (int i = 0; i < 5; ++i) host.setting.User("PROXY", keys[i], values[i]);
    }
    // "address|port|user|password", a disabled edit's text marked "-".
    static std::string Shown(const ProxyFieldsState& state) {
        const bool enabled[] = {state.bAddress, state.bPort, state.bUser, state.bPassword};
        const std::string* values[] = {&state.values.address, &state.values.port,
                                       &state.values.user, &state.values.password};
        std::string shown;
        for (int i = 0; i < 4; ++i)
            shown += (i ? "|" : "") + std::string(enabled[i] ? "" : "-") + *values[i];
        return shown;
    }
    FakeHost host;
    CProxyDialogModel model{&host.container};
};

TEST_F(ProxyDialogModelTest, TextsComeFromTheHostAndTheListKeepsItsOrder) {
    for (int id : {2001, 2002, 2022, 2023, 2027, 5999, 11000, 11001, 11002, 11003})
        host.strings.Set(id, "s" + std::to_string(id));
    const ProxyDialogTexts texts = model.LoadTexts();
    ASSERT_TRUE(texts.bLoaded);
    EXPECT_EQ(texts.title + texts.closeTip + texts.ok + texts.cancel + texts.group,
              "s11003s5999s2001s2002s2022");
    EXPECT_EQ(texts.labels[0] + texts.labels[4], "s2023s2027");
    ASSERT_EQ(texts.entries.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(texts.entries[i].text, "s1100" + std::to_string(i));
        EXPECT_EQ(texts.entries[i].nType, i);
    }
    EXPECT_EQ(CProxyDialogModel::EntryIndexOf(texts.entries, 2), 2);
    EXPECT_EQ(CProxyDialogModel::EntryIndexOf(texts.entries, 5), -1);

    host.container.Withdraw(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR);
    EXPECT_FALSE(model.LoadTexts().bLoaded);
    EXPECT_TRUE(model.LoadTexts().entries.empty());
}

TEST_F(ProxyDialogModelTest, EachTypeEnablesAndFillsItsEditsFromTheValuesReadAtOpening) {
    RegistrySandbox registry;
    registry.SetString("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                       "ProxyServer", "10.1.2.3:8080");
    StoreProxy("2", "typed.host", "81", "u", "pw");
    model.ReadCurrent();
    EXPECT_EQ(model.CurrentType(), 2);
    // Stored afterwards: the edits still show what the dialog opened with.
    StoreProxy("1", "later", "1", "later", "later");
    ProxyFieldsState state;
    ASSERT_TRUE(model.FieldsFor(0, state));
    EXPECT_EQ(Shown(state), "-|-|-|-");
    ASSERT_TRUE(model.FieldsFor(2, state));
    EXPECT_EQ(Shown(state), "-10.1.2.3|-8080|u|pw");
    // Type 2 reads no stored address: the user's own proxy starts from the browser's.
    ASSERT_TRUE(model.FieldsFor(1, state));
    EXPECT_EQ(Shown(state), "10.1.2.3|8080|u|pw");
    // The browser's proxy is read at each switch.
    registry.SetString("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                       "ProxyServer", "h2");
    ASSERT_TRUE(model.FieldsFor(2, state));
    EXPECT_EQ(Shown(state), "-h2|-|u|pw");
    EXPECT_FALSE(model.FieldsFor(5, state));

    StoreProxy("0", "old.host", "82", "v", "p");
    model.ReadCurrent();
    ASSERT_TRUE(model.FieldsFor(1, state));
    EXPECT_EQ(Shown(state), "||v|p");  // type 0 reads no address
}

TEST_F(ProxyDialogModelTest, OkStoresTheKeysOfTheTypeWithThePasswordEnciphered) {
    const ProxyFields typed{"a.b", "80", "dave", "s3"};
    const struct {
        int32_t type;
        const char* writes;
    } cases[] = {
        {0, "PROXY/TYPE=0"},
        {1, "PROXY/TYPE=1 PROXY/ADDRESS=a.b PROXY/PORT=80 PROXY/USER=dave PROXY/PASSWORD=ENC:)i"},
        {2, "PROXY/TYPE=2 PROXY/USER=dave PROXY/PASSWORD=ENC:)i"},
        {7, "PROXY/TYPE=7 PROXY/USER=dave PROXY/PASSWORD=ENC:)i"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(model.Save(&c.type, typed), ProxySaveOutcome::Saved) << c.type;
        EXPECT_EQ(host.setting.TakeUserWrites(), c.writes);
    }
    EXPECT_EQ(model.Save(nullptr, typed), ProxySaveOutcome::NoType);
    EXPECT_EQ(host.setting.TakeUserWrites(), "");
    host.strings.Set(7001, "pick");
    host.strings.Set(2000, "caption");
    std::string text, caption;
    model.NoTypeMessage(text, caption);
    EXPECT_EQ(text + "/" + caption, "pick/caption");
}

TEST_F(ProxyDialogModelTest, AFailedSaveIsTracedAndKeepsWhatWasStoredBeforeIt) {
    TraceCapture trace;
    const ProxyFields typed{"h", "1", "u", "p"};
    const int32_t type = 1;
    host.container.Withdraw(PLUGIN_ID_CRYPT, IID_CRYPT);
    EXPECT_EQ(model.Save(&type, typed), ProxySaveOutcome::Failed);
    EXPECT_EQ(host.setting.TakeUserWrites(),
              "PROXY/TYPE=1 PROXY/ADDRESS=h PROXY/PORT=1 PROXY/USER=u");
    const TraceRecord record = trace.Find("GetCryptPlugin failed!");
    EXPECT_EQ(std::make_tuple(record.level, record.module, record.source),
              std::make_tuple(2, std::string("LoginPlguin"),
                              std::string("src\\LoginPlugin\\SettingDlg")));

    host.container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, nullptr);
    EXPECT_EQ(model.Save(&type, typed), ProxySaveOutcome::Failed);
    EXPECT_TRUE(trace.Has("pCrypt pointer is null!", 2));

    host.setting.TakeUserWrites();
    host.setting.FailUserKey("PORT");
    EXPECT_EQ(model.Save(&type, typed), ProxySaveOutcome::Failed);
    EXPECT_EQ(host.setting.TakeUserWrites(), "PROXY/TYPE=1 PROXY/ADDRESS=h");
    EXPECT_TRUE(trace.Has("SetUserSetting() failed!", 2));

    host.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);
    EXPECT_EQ(model.Save(&type, typed), ProxySaveOutcome::Failed);
    EXPECT_TRUE(trace.Has("pISetting is NULL!", 2));
}

TEST(ProxyDialogValues, MasksDropWhatTheEditsRefuseAndSkinColoursReadAsRgb) {
    EXPECT_EQ(ApplyMask(kProxyAddressMask, "Proxy-1_a.b:80/x"), "Proxy1a.b:80/x");
    EXPECT_EQ(ApplyMask(kProxyPortMask, "8a0-8 \b"), "808\b");
    EXPECT_EQ(ApplyMask("", "any thing"), "any thing");
    EXPECT_EQ(ParseSkinColor("255 128 0"), 0x000080FFu);
    EXPECT_EQ(ParseSkinColor("  74  126 190 9"), 0x00BE7E4Au);
    EXPECT_EQ(ParseSkinColor("255"), 0x000000FFu);
    EXPECT_EQ(ParseSkinColor("256 x"), 0u);
    EXPECT_EQ(ParseSkinColor(""), 0u);
}

}  // namespace
