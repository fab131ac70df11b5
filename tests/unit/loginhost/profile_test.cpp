// The profile: the errors that name file and line, the settings written back, the card script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "HostProfile.h"
#include "HostServices.h"
#include "TestEnv.h"

namespace {

class Observer : public HostObserver {
public:
    void OnSettingWritten(const std::string& store, const std::string& section,
                          const std::string& key, const std::string& value) override {
        writes.push_back(store + ":" + section + "/" + key + "=" + value);
    }
    void OnSimTypeNumber(int32_t) override {}
    void OnSaveFailed(const std::string&) override {}
    std::vector<std::string> writes;
};

class ProfileTest : public ::testing::Test {
protected:
    ~ProfileTest() override { std::filesystem::remove_all(dir); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The load error from the file's name on (the test names files, not temporary paths).
    std::string LoadError() {
        HostProfile fresh;
        std::string error;
        if (fresh.Load(dir, error)) return "";
        const size_t at = error.find_last_of("/\\");
        return at == std::string::npos ? error : error.substr(at + 1);
    }
    HostServices& Services() {
        std::string error;
        EXPECT_TRUE(profile.Load(dir, error)) << error;
        services = std::make_unique<HostServices>(profile, &observer);
        return *services;
    }

    std::string dir = MakeTempDir("loginhost-profile");
    HostProfile profile;
    Observer observer;
    std::unique_ptr<HostServices> services;
};

TEST_F(ProfileTest, ErrorsNameTheFileAndLine) {
    const struct {
        const char* file;
        const char* text;
        const char* error;
    } cases[] = {
        {"system.ini", "[LOGIN]\nURL=x\njunk\n",
         "system.ini:3: expected key=value or [section]: junk"},
        {"system.ini", "[LOGIN\n", "system.ini:1: section header without ']': [LOGIN"},
        {"system.ini", "[A]\nk=1\n[a]\n",
         "system.ini:3: section [a] given twice (first on line 1)"},
        {"user.ini", "[P]\nk=1\nK=2\n", "user.ini:3: key 'K' given twice (first on line 2)"},
        {"card.ini", "[card]\nimsi=1\nspn_errors=14,x,0\n",
         "card.ini:3: bad number list for spn_errors: '14,x,0'"},
        {"card.ini", "[card]\nimsi_error=99999999999\n",
         "card.ini:2: bad number list for imsi_error: '99999999999'"},
        {"card.ini", "[card]\nspn_error=1\nspn_errors=2\n",
         "card.ini:3: spn_error and spn_errors both given"},
        {"card.ini", "[sim]\n", "card.ini:1: unknown section [sim] (expected [card])"},
        {"net.ini", "[net]\nstate=2\n",
         "net.ini:2: unknown key 'state' (known: check_result, connect_state)"},
        {"strings.ini", "11004=a\nabc=b\n", "strings.ini:2: bad string number 'abc'"},
        {"sytem.ini", "[LOGIN]\n",
         "sytem.ini: unknown profile file (known: system.ini, user.ini, named.ini, strings.ini, "
         "card.ini, net.ini)"},
        {"notes.txt", "anything", ""},
    };
    for (const auto& c : cases) {
        Write(c.file, c.text);
        EXPECT_EQ(LoadError(), c.error) << c.text;
        std::filesystem::remove(dir + "/" + c.file);
    }
}

TEST_F(ProfileTest, SettingsAreServedInGbkAndWrittenBackInUtf8) {
    Write("system.ini", "; the host's settings\n[SKIN]\nACTIVE=skins\\\xE7\xA7\xBB\n");
    Write("strings.ini", "11004=\xE4\xB8\xAD\xE5\x9B\xBD\n");
    HostServices& s = Services();
    std::string value;
    ASSERT_TRUE(s.setting.GetSysSetting("SKIN", "ACTIVE", value));
    EXPECT_EQ(value, "skins\\\xD2\xC6");
    EXPECT_EQ(s.strings.GetString(11004), "\xD6\xD0\xB9\xFA");
    EXPECT_EQ(s.strings.GetString(1), "");

    ASSERT_TRUE(s.setting.SetSysSetting("SIMTYPE", "ACTIVE", "3"));
    ASSERT_TRUE(s.setting.SetSysSetting("SKIN", "ACTIVE", "skins\\\xD6\xD0"));
    EXPECT_EQ(Read("system.ini"),
              "; the host's settings\n[SKIN]\nACTIVE=skins\\\xE4\xB8\xAD\n\n[SIMTYPE]\nACTIVE=3\n");
    EXPECT_EQ(observer.writes,
              (std::vector<std::string>{"system:SIMTYPE/ACTIVE=3",
                                        "system:SKIN/ACTIVE=skins\\\xE4\xB8\xAD"}));
    ASSERT_TRUE(s.setting.SetUserSetting("PROXY", "TYPE", "1"));
    EXPECT_EQ(Read("user.ini"), "[PROXY]\nTYPE=1\n");
}

TEST_F(ProfileTest, TheCardPlaysItsScriptAndRepeatsTheLastResult) {
    Write("card.ini",
          "[card]\nimsi=460001234567890123456\nspn=\xE4\xB8\xAD\nspn_errors=14, 10003,0\n");
    HostServices& s = Services();
    std::vector<std::string> reads;
    for (int i = 0; i < 4; ++i) {
        char spn[MTS_SPN_BUFFER_SIZE] = {};
        int32_t code = 0;
        const bool ok = s.card.SRVGetSpnData(spn, code);
        reads.push_back(ok ? std::string("ok:") + spn : "error:" + std::to_string(code));
    }
    EXPECT_EQ(reads,
              (std::vector<std::string>{"error:14", "error:10003", "ok:\xD6\xD0", "ok:\xD6\xD0"}));
    char imsi[MTS_IMSI_BUFFER_SIZE] = {};
    int32_t code = 0;
    EXPECT_TRUE(s.card.SRVGetImsiInfo(imsi, code));
    EXPECT_EQ(std::string(imsi), "46000123456789012");  // cut to the caller's buffer
}

}  // namespace
