// Strict security mode against the account server over real TLS, with the platform's own client
// (so that the CA file named in the host's settings is the one the client trusts): the
// certificates it refuses and the one it accepts, redirects, and a password that the form would
// otherwise break.
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
        const std::string base = "https://127.0.0.1:" + std::to_string(other.Port());
        host.setting.Sys("REGISTER", "URL", base + "/register");
        host.setting.Sys("LOGIN", "URL", base + "/login");
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
    }
}

// The login is redirected to a server that knows the SIM, on the same host or under another
// name of it (both on the certificate): strict mode follows only the first.
TEST_F(StrictLoginTest, StrictModeFollowsRedirectsToTheSameHostOnly) {
    const std::string state = m_dir.Path() + "/accounts";
    std::ofstream(state) << "460001234567890\tstored\n";
    const std::string ca = m_dir.Path() + "/ca.pem";
    AccountServer target;
    std::string error;
    ASSERT_TRUE(target.Start({"--state", state, "--ca-out", ca}, error)) << error;
    const std::string port = std::to_string(target.Port());
    for (const char* name : {"127.0.0.1", "localhost"}) {
        const bool bSameHost = std::string(name) == "127.0.0.1";
        std::string to = "https://";
        to.append(name).append(":").append(port).append("/login");
        AccountServer redirecting;
        Serve(redirecting, {"--redirect-to", to, "--ca-out", m_dir.Path() + "/other-ca.pem"});
        // One CA file for the issuers of both servers.
        const std::string bundle = m_dir.Path() + "/bundle.pem";
        std::ofstream(bundle) << std::ifstream(ca).rdbuf()
                              << std::ifstream(m_dir.Path() + "/other-ca.pem").rdbuf();
        for (bool bStrict : {true, false}) {
            SCOPED_TRACE(std::string(name) + (bStrict ? " (strict)" : " (default)"));
            MakePlatformLogin(bStrict, bundle);
            ASSERT_TRUE(login->WritePwd(KeyFile(), "stored"));
            const bool bFollowed = bSameHost || !bStrict;
            EXPECT_EQ(login->DoLoginThread(), bFollowed);
            EXPECT_EQ(login->GetErrorCode(), bFollowed ? 0 : 12040);
        }
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
    }
}

}  // namespace
