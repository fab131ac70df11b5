// Strict security mode against the account server over real TLS, with the platform's own client
// (so that the CA file named in the host's settings is the one the client trusts): the
// certificates it refuses and the one it accepts, and a password that the form would otherwise
// break. (Which redirects each mode follows is the client's suite's part.)
#include <filesystem>
#include <fstream>

#include "LoginServerFixture.h"

namespace {

class StrictLoginTest : public LoginServerTest {
protected:
    // A login object over the platform's client, in strict mode or not, with a CA file or not.
    void MakePlatformLogin(bool bStrict, const std::string& caFile = {}) {
        host.setting.Sys("SECURITY", "STRICT", bStrict ? "1" : "0");
        host.setting.Sys("SECURITY", "CAFILE", caFile);
        login.reset();
        LoginEnvironment env;
        env.clock = clock;
        login = std::make_unique<CLoginImpl>(&host.container, env);
    }
    // An account server of its own with `switches`, which the host's URLs name.
    void Serve(AccountServer& other, const std::vector<std::string>& switches) {
        std::string error;
        ASSERT_TRUE(other.Start(switches, error)) << error;
        Use("https://127.0.0.1:" + std::to_string(other.Port()));
    }
};

TEST_F(StrictLoginTest, StrictModeTrustsOnlyAGoodCertificateOfTheNamedCaTheDefaultTakesAll) {
    struct Case {
        std::string name;
        std::vector<std::string> switches;  // "--ca-out": signed by the CA the CA file names
        bool bCaFile;
        int strictError;  // 0: strict mode logs in
    };
    const Case cases[] = {
        {"CA-signed", {"--ca-out"}, true, 0},
        {"self-signed", {}, false, 12045},
        {"CA-signed, another name", {"--cert-name", "other.example", "--ca-out"}, true, 12038},
        {"CA-signed, expired", {"--cert-expired", "--ca-out"}, true, 12037},
        {"CA-signed, system store only", {"--ca-out"}, false, 12045},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string ca = m_dir.Path() + "/ca" + std::to_string(++n) + ".pem";
        std::vector<std::string> switches = c.switches;
        if (!switches.empty() && switches.back() == "--ca-out") switches.push_back(ca);
        AccountServer other;
        Serve(other, switches);
        for (bool bStrict : {true, false}) {
            SCOPED_TRACE(c.name + (bStrict ? " (strict)" : " (default)"));
            std::filesystem::remove(KeyFile());
            MakePlatformLogin(bStrict, c.bCaFile ? ca : "");
            trace.Clear();
            const bool bRefused = bStrict && c.strictError != 0;
            EXPECT_EQ(login->DoLoginThread(), !bRefused);
            EXPECT_EQ(login->GetErrorCode(), bRefused ? c.strictError : 0);
            EXPECT_EQ(trace.Has("HttpSendRequest() certificate refused : " +
                                std::to_string(c.strictError)),
                      bRefused);
        }
        login.reset();  // its kept connection would hold the server's stop
    }
}

// The server knows the SIM by a password with the form's own separators in it.
TEST_F(StrictLoginTest, PasswordWithAmpersandAndEqualsLogsInOnlyWhenEncoded) {
    const std::string password = "p&ss=w rd%2B";
    const std::string state = m_dir.Path() + "/accounts";
    for (bool bStrict : {true, false}) {
        SCOPED_TRACE(bStrict ? "strict" : "default");
        std::ofstream(state) << "460001234567890\t" << password << "\n";
        AccountServer other;
        Serve(other, {"--state", state, "--ca-out", m_dir.Path() + "/ca.pem"});
        MakePlatformLogin(bStrict, m_dir.Path() + "/ca.pem");
        ASSERT_TRUE(login->WritePwd(KeyFile(), password));
        ASSERT_TRUE(login->DoLoginThread());
        if (bStrict) {
            EXPECT_EQ(login->GetPassword(), password);
            EXPECT_EQ(login->ReadPwd(KeyFile()), password);
        } else {
            // Cut at '&', the password was wrong: a new one was registered.
            EXPECT_TRUE(trace.Has("0 != m_iError! m_iError = 3", 2));
            EXPECT_NE(login->ReadPwd(KeyFile()), password);
        }
        login.reset();  // its kept connection would hold the server's stop
    }
}

}  // namespace
