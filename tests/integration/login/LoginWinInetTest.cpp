// The login cases that only WinINet has: its strict mode against the system's certificate store,
// and its process-wide pool of kept connections.
#include <vector>

#include "LoginSuiteFixture.h"
#include "SecurityPolicy.h"
#include "ServerLogs.h"

namespace {

using LoginWinInetTest = LoginSuiteTest;

// Strict mode: WinINet's certificate error ends each exchange at its first send. WinINet names
// the first check that fails, and the system's store knows none of the test issuers, so the
// unknown issuer may come before the name or the date. Under Wine a chain of a CA it does not
// know fails its revocation check first (12057, outside the set the default mode retries).
TEST_F(LoginWinInetTest, StrictModeRefusesEveryCertificateTheSystemDoesNotTrust) {
    const struct {
        const char* port;
        int32_t otherError;  // besides 12045
    } cases[] = {
        {"LOGIN_TEST_STRICT_SELF_SIGNED_PORT", 12045},
        {"LOGIN_TEST_STRICT_MISMATCH_PORT", 12038},
        {"LOGIN_TEST_STRICT_EXPIRED_PORT", 12037},
        {"LOGIN_TEST_STRICT_CA_SIGNED_PORT", 12057},
    };
    host.setting.Sys("SECURITY", "STRICT", "1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        REQUIRE_PORT(port, c.port);
        Use("https://127.0.0.1:" + std::to_string(port));
        trace.Clear();
        EXPECT_FALSE(login->DoLoginThread());
        const int32_t error = login->GetErrorCode();
        EXPECT_TRUE(error == 12045 || error == c.otherError) << error;
        const std::string number = std::to_string(error);
        EXPECT_TRUE(trace.Has("HttpSendRequest() certificate refused : " + number, 2) ||
                    trace.Has("HttpSendRequest() return other error code : " + number, 2));
        EXPECT_EQ(recorder->Ops(), (std::vector<std::string>{"Open(1)", "OpenRequest(/register)",
                                                             "Send=" + number}));
    }
}

// WinINet keeps connections in a process-wide pool: one whose certificate the default mode
// accepted with the checks waived must not carry a strict exchange to the same server.
TEST_F(LoginWinInetTest, StrictModeRefusesAConnectionKeptFromAWaivedCertificate) {
    REQUIRE_PORT(port, "LOGIN_TEST_POOLED_PORT");
    Use("https://127.0.0.1:" + std::to_string(port));
    ASSERT_TRUE(login->DoLoginThread()) << login->GetErrorCode();
    ASSERT_GE(CountInLog(LogPath("LOGIN_TEST_POOLED_LOG"), "POST /login"), 1);

    host.setting.Sys("SECURITY", "STRICT", "1");
    RecordingHttps strict(SecurityPolicy::Strict().ClientOptions());
    MakeLogin(&strict);
    EXPECT_FALSE(login->DoLoginThread());
    EXPECT_EQ(login->GetErrorCode(), 12045);
    EXPECT_TRUE(trace.Has("HttpSendRequest() certificate refused : 12045", 2));
    EXPECT_EQ(strict.Ops(),
              (std::vector<std::string>{"Open(1)", "OpenRequest(/login)", "Send=12045"}));

    // A default-mode login after it goes through. The server answers one connection's requests
    // in order: once this login's line is logged, a strict body that got through would be too.
    host.setting.Sys("SECURITY", "STRICT", "0");
    MakeLogin();
    ASSERT_TRUE(login->DoLoginThread()) << login->GetErrorCode();
    EXPECT_EQ(CountInLog(LogPath("LOGIN_TEST_POOLED_LOG"), "&pass=", 2), 2);
    EXPECT_EQ(CountInLog(LogPath("LOGIN_TEST_POOLED_LOG"), "POST /login [cid="), 2);
}

}  // namespace
