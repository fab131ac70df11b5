// The profile: the errors that name file and line, and the card script. (The settings written
// back are checked by the host's integration test.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "HostProfile.h"
#include "HostServices.h"
#include "TestEnv.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    ~ProfileTest() override { std::filesystem::remove_all(dir); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    }
    // The load error from the file's name on (the test names files, not temporary paths).
    std::string LoadError() {
        HostProfile fresh;
        std::string error;
        if (fresh.Load(dir, error)) return "";
        const size_t at = error.find_last_of("/\\");
        return at == std::string::npos ? error : error.substr(at + 1);
    }

    std::string dir = MakeTempDir("loginhost-profile");
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
        {"card.ini", "[card]\nport=/dev/ttyUSB2\nimsi=4600\n",
         "card.ini:3: key 'imsi' is not taken with port= (the modem is the card; known: port, "
         "baud)"},
        {"card.ini", "[card]\nspn_errors=14\nPort=COM5\n",
         "card.ini:2: key 'spn_errors' is not taken with port= (the modem is the card; known: "
         "port, baud)"},
        {"card.ini", "[card]\nport=COM5\nbaud=fast\n", "card.ini:3: bad speed for baud: 'fast'"},
        {"card.ini", "[card]\nport=\n", "card.ini:2: port= names the modem's AT port"},
        {"card.ini", "[card]\nbaud=9600\n", "card.ini:2: baud= needs port="},
        {"net.ini", "[net]\nstate=2\n",
         "net.ini:2: unknown key 'state' (known: check_result, connect_state)"},
        {"strings.ini", "11004=a\nabc=b\n", "strings.ini:2: bad string number 'abc'"},
        {"system.ini", "[LOGIN]\nURL=x\n[security]\nstrict=yes\n",
         "system.ini:4: [SECURITY] STRICT is 0 or 1, not 'yes'"},
        {"system.ini", "[SECURITY]\nSTRICT=1\nCAFILE=no-such-ca.pem\n",
         "system.ini:3: [SECURITY] CAFILE cannot be read: 'no-such-ca.pem'"},
        {"system.ini", "[SECURITY]\nSTRIKT=1\n",
         "system.ini:2: unknown key 'STRIKT' in [SECURITY] (known: STRICT, CAFILE)"},
        {"sytem.ini", "[LOGIN]\n",
         "sytem.ini: unknown profile file (known: system.ini, user.ini, named.ini, strings.ini, "
         "card.ini, net.ini, operators.ini)"},
        {"operators.ini", "[operators]\n46000=CMCC\n4600x=CU\n",
         "operators.ini:3: '4600x' is no operator identifier (MCC and MNC, 5 or 6 digits)"},
        {"operators.ini", "46000=CMCC\n", "operators.ini:1: '46000' is not in [operators]"},
        {"operators.ini", "[Operators]\n46001=\n", "operators.ini:2: 46001 has no name"},
        {"notes.txt", "anything", ""},
    };
    for (const auto& c : cases) {
        Write(c.file, c.text);
        EXPECT_EQ(LoadError(), c.error) << c.text;
        std::filesystem::remove(dir + "/" + c.file);
    }
}

TEST_F(ProfileTest, TheCardPlaysItsScriptAndRepeatsTheLastResult) {
    Write("card.ini",
          "[card]\nimsi=460001234567890123456\nspn=\xE4\xB8\xAD\nspn_errors=14, 10003,0\n");
    HostProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(dir, error)) << error;
    HostServices s(profile, nullptr);  // no one watches the settings here
    MTSComm* comm = s.device.GetMTSComm();
    ASSERT_NE(comm, nullptr);
    std::vector<std::string> reads;
    for (int i = 0; i < 4; ++i) {
        char spn[MTS_SPN_BUFFER_SIZE] = {};
        int32_t code = 0;
        const bool ok = comm->SRVGetSpnData(spn, code);
        reads.push_back(ok ? std::string("ok:") + spn : "error:" + std::to_string(code));
    }
    EXPECT_EQ(reads,
              (std::vector<std::string>{"error:14", "error:10003", "ok:\xD6\xD0", "ok:\xD6\xD0"}));
    char imsi[MTS_IMSI_BUFFER_SIZE] = {};
    int32_t code = 0;
    EXPECT_TRUE(comm->SRVGetImsiInfo(imsi, code));
    EXPECT_EQ(std::string(imsi), "46000123456789012");  // cut to the caller's buffer
}

TEST_F(ProfileTest, TheOperatorTableNamesSimsByOperatorIdentifier) {
    Write("operators.ini", "[operators]\n46000=\xE4\xB8\xAD\xE5\x9B\xBD\n310260=T\n");
    HostProfile profile;
    std::string error;
    ASSERT_TRUE(profile.Load(dir, error)) << error;
    EXPECT_EQ(profile.operators, (std::map<std::string, std::string>{
                                     {"46000", "\xE4\xB8\xAD\xE5\x9B\xBD"}, {"310260", "T"}}));
}

}  // namespace
