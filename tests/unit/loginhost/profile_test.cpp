// The profile: the INI format, the errors that name file and line, write-back, the card script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "HostCrypt.h"
#include "HostProfile.h"
#include "HostServices.h"

namespace {

namespace fs = std::filesystem;

class ProfileDir {
public:
    ProfileDir() {
        static int counter = 0;
        m_path = (fs::temp_directory_path() /
                  ("loginhost-profile-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" +
                   std::to_string(++counter)))
                     .string();
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~ProfileDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_path + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

class NullObserver : public HostObserver {
public:
    void OnSettingWritten(const std::string& store, const std::string& section,
                          const std::string& key, const std::string& value) override {
        writes.push_back(store + ":" + section + "/" + key + "=" + value);
    }
    void OnSimTypeNumber(int32_t) override {}
    void OnSaveFailed(const std::string& error) override { failures.push_back(error); }
    std::vector<std::string> writes;
    std::vector<std::string> failures;
};

// The error of loading a profile with one file, or "" when it loads.
std::string LoadError(const std::string& file, const std::string& text) {
    ProfileDir dir;
    dir.Write(file, text);
    HostProfile profile;
    std::string error;
    if (profile.Load(dir.Path(), error)) return "";
    // Only the part after the directory: the test names files, not temporary paths.
    const size_t at = error.find(file);
    return at == std::string::npos ? error : error.substr(at);
}

TEST(HostIni, ReadsSectionsKeysQuotesAndComments) {
    IniFile ini;
    std::string error;
    ASSERT_TRUE(ini.Parse("t.ini",
                          "\xEF\xBB\xBF; comment\r\n[Login]\r\n url = https://x/y?a=b;c \r\n"
                          "# other\n[PAD]\nV=\"  a  \"\nEmpty=\n",
                          error))
        << error;
    std::string v;
    ASSERT_TRUE(ini.Get("LOGIN", "URL", v));
    EXPECT_EQ(v, "https://x/y?a=b;c");
    ASSERT_TRUE(ini.Get("pad", "v", v));
    EXPECT_EQ(v, "  a  ");
    ASSERT_TRUE(ini.Get("PAD", "Empty", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ini.Get("PAD", "missing", v));
}

TEST(HostIni, WritingBackKeepsTheRestOfTheFile) {
    IniFile ini;
    std::string error;
    ASSERT_TRUE(ini.Parse("t.ini", "; keep me\n[A]\nx=1\n\n; about B\n[B]\ny=2\n", error));
    ASSERT_TRUE(ini.Set("a", "X", "10"));
    ASSERT_TRUE(ini.Set("A", "z", " padded "));
    ASSERT_TRUE(ini.Set("C", "w", "new"));
    EXPECT_FALSE(ini.Set("A", "bad", "two\nlines"));
    EXPECT_EQ(ini.Render(),
              "; keep me\n[A]\nX=10\nz=\" padded \"\n\n; about B\n[B]\ny=2\n\n[C]\nw=new\n");
    IniFile again;
    ASSERT_TRUE(again.Parse("t.ini", ini.Render(), error));
    std::string v;
    ASSERT_TRUE(again.Get("A", "z", v));
    EXPECT_EQ(v, " padded ");
}

TEST(HostProfileErrors, NameTheFileAndLine) {
    EXPECT_EQ(LoadError("system.ini", "[LOGIN]\nURL=x\njunk\n"),
              "system.ini:3: expected key=value or [section]: junk");
    EXPECT_EQ(LoadError("system.ini", "[LOGIN\n"),
              "system.ini:1: section header without ']': [LOGIN");
    EXPECT_EQ(LoadError("system.ini", "[A]\nk=1\n[a]\n"),
              "system.ini:3: section [a] given twice (first on line 1)");
    EXPECT_EQ(LoadError("system.ini", "URL=x\n"), "system.ini:1: key 'URL' outside a [section]");
    EXPECT_EQ(LoadError("user.ini", "[P]\nk=1\nK=2\n"),
              "user.ini:3: key 'K' given twice (first on line 2)");
    EXPECT_EQ(LoadError("card.ini", "[card]\nimsi=1\nspn_errors=14,x,0\n"),
              "card.ini:3: bad number list for spn_errors: '14,x,0'");
    EXPECT_EQ(LoadError("card.ini", "[card]\nimsi_error=99999999999\n"),
              "card.ini:2: bad number list for imsi_error: '99999999999'");
    EXPECT_EQ(LoadError("card.ini", "[card]\nspn_error=1\nspn_errors=2\n"),
              "card.ini:3: spn_error and spn_errors both given");
    EXPECT_EQ(LoadError("card.ini", "[card]\ncomm=maybe\n"),
              "card.ini:2: comm must be yes or no: 'maybe'");
    EXPECT_EQ(LoadError("card.ini", "[sim]\n"),
              "card.ini:1: unknown section [sim] (expected [card])");
    EXPECT_EQ(LoadError("net.ini", "[net]\nstate=2\n"),
              "net.ini:2: unknown key 'state' (known: check_result, connect_state)");
    EXPECT_EQ(LoadError("net.ini", "[net]\nconnect_state=2x\n"),
              "net.ini:2: bad number for connect_state: '2x'");
    EXPECT_EQ(LoadError("strings.ini", "11004=a\nabc=b\n"),
              "strings.ini:2: bad string number 'abc'");
    EXPECT_EQ(LoadError("named.ini", "[x]\n"), "named.ini:1: this file has no sections ([x])");
    EXPECT_EQ(LoadError("sytem.ini", "[LOGIN]\n"),
              "sytem.ini: unknown profile file (known: system.ini, user.ini, named.ini, "
              "strings.ini, card.ini, net.ini)");
    EXPECT_EQ(LoadError("notes.txt", "anything"), "");
}

TEST(HostProfileServices, SettingsAreServedInGbkAndWrittenBackInUtf8) {
    ProfileDir dir;
    dir.Write("system.ini", "; the host's settings\n[SKIN]\nACTIVE=skins\\\xE7\xA7\xBB\n");
    dir.Write("strings.ini", "11004=\xE4\xB8\xAD\xE5\x9B\xBD\n");
    HostProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(dir.Path(), error)) << error;
    NullObserver observer;
    HostServices services(profile, &observer);

    std::string value;
    ASSERT_TRUE(services.setting.GetSysSetting("SKIN", "ACTIVE", value));
    EXPECT_EQ(value, "skins\\\xD2\xC6");
    EXPECT_EQ(services.strings.GetString(11004), "\xD6\xD0\xB9\xFA");
    EXPECT_EQ(services.strings.GetString(1), "");

    ASSERT_TRUE(services.setting.SetSysSetting("SIMTYPE", "ACTIVE", "3"));
    ASSERT_TRUE(services.setting.SetSysSetting("SKIN", "ACTIVE", "skins\\\xD6\xD0"));
    EXPECT_EQ(dir.Read("system.ini"),
              "; the host's settings\n[SKIN]\nACTIVE=skins\\\xE4\xB8\xAD\n\n[SIMTYPE]\nACTIVE=3\n");
    EXPECT_EQ(observer.writes,
              (std::vector<std::string>{"system:SIMTYPE/ACTIVE=3",
                                        "system:SKIN/ACTIVE=skins\\\xE4\xB8\xAD"}));
    ASSERT_TRUE(services.setting.SetUserSetting("PROXY", "TYPE", "1"));
    EXPECT_EQ(dir.Read("user.ini"), "[PROXY]\nTYPE=1\n");
}

TEST(HostProfileServices, DefaultsServeAnEmptyProfile) {
    ProfileDir dir;
    HostProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(dir.Path(), error)) << error;
    NullObserver observer;
    HostServices services(profile, &observer);

    std::string value = "x";
    EXPECT_TRUE(services.setting.GetNamedSetting("ServiceScreenCode", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(services.setting.GetNamedSetting("Other", value));
    EXPECT_FALSE(services.setting.GetSysSetting("LOGIN", "URL", value));
    // Without a key in system.ini the host's default key is served, and it decrypts.
    ASSERT_TRUE(services.setting.GetSysSetting("CRYPT", "CRYPT", value));
    EXPECT_EQ(services.crypt.Decrypt(value), HostCrypt::DefaultWorkingKey());
    EXPECT_EQ(services.net.GetConnectState(), 0);
    EXPECT_EQ(services.check.CheckConnection(), 0);
    char spn[MTS_SPN_BUFFER_SIZE] = {'x'};
    int32_t code = 0;
    ASSERT_NE(services.device.GetMTSComm(), nullptr);
    EXPECT_TRUE(services.card.SRVGetSpnData(spn, code));
    EXPECT_STREQ(spn, "");
}

TEST(HostProfileServices, TheCardPlaysItsScriptAndRepeatsTheLastResult) {
    ProfileDir dir;
    dir.Write("card.ini",
              "[card]\nimsi=460001234567890123456\nspn=\xE4\xB8\xAD\nspn_errors=14, 10003,0\n"
              "imsi_error=10301\n");
    dir.Write("net.ini", "[net]\nconnect_state=2\ncheck_result=-1\n");
    HostProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(dir.Path(), error)) << error;
    NullObserver observer;
    HostServices services(profile, &observer);

    std::vector<std::string> reads;
    for (int i = 0; i < 4; ++i) {
        char spn[MTS_SPN_BUFFER_SIZE] = {};
        int32_t code = 0;
        const bool ok = services.card.SRVGetSpnData(spn, code);
        reads.push_back(ok ? std::string("ok:") + spn : "error:" + std::to_string(code));
    }
    EXPECT_EQ(reads,
              (std::vector<std::string>{"error:14", "error:10003", "ok:\xD6\xD0", "ok:\xD6\xD0"}));
    char imsi[MTS_IMSI_BUFFER_SIZE] = {};
    int32_t code = 0;
    EXPECT_FALSE(services.card.SRVGetImsiInfo(imsi, code));
    EXPECT_EQ(code, 10301);
    EXPECT_EQ(services.net.GetConnectState(), 2);
    EXPECT_EQ(services.check.CheckConnection(), -1);

    CardProfile card;
    card.imsi = "460001234567890123456";
    card.bComm = false;
    services.card.SetCard(card);
    EXPECT_EQ(services.device.GetMTSComm(), nullptr);
    EXPECT_TRUE(services.card.SRVGetImsiInfo(imsi, code));
    EXPECT_EQ(std::string(imsi), "46000123456789012");  // cut to the caller's buffer
}

}  // namespace
