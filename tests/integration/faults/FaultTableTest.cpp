// The login worker on a bad link, natively with libcurl and under Wine with WinINet: the account
// server behind a proxy that breaks each connection in one way (tests/support/fault_proxy.py),
// and servers that answer as a captive portal, an overloaded server, a self-redirect or a 4 GB
// claim. For each fault the attempt ends on the client's (short) time-outs with the error the
// table names, the trace names the error's number, the state code is that error, and the next
// attempt comes on the next 60 s retry, once the link is good again, and logs in. The worker runs
// on the manual clock; no test waits for a real minute.
//
// What counts as a login: in the default mode a login reply that leaves no refusal code counts,
// a portal's page and a 503's empty body included (state 0, logged in); strict mode refuses
// both (state -3). (Strict rows run natively only: under Wine the test server's certificate is
// not in the system's store, which strict mode alone trusts.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "ManualClock.h"
#include "RecordingHttps.h"
#include "RegistrySandbox.h"
#include "TempDir.h"
#include "libs/trace/TraceCapture.h"

namespace {

constexpr int32_t kTimeout = 12002;
constexpr int32_t kCannotConnect = 12029;
constexpr int32_t kAborted = 12030;
constexpr int32_t kInvalidResponse = 12152;
constexpr int32_t kRedirectFailed = 12156;
constexpr int32_t kNotAReply = -3;

// The clients' time-outs in the table: a stall ends in a second or two.
HttpTimeouts ShortTimeouts() {
    HttpTimeouts timeouts;
    timeouts.connectMs = 2000;
    timeouts.sendMs = 2000;
    timeouts.receiveMs = 2000;
    timeouts.maxRedirects = 3;
    return timeouts;
}

std::string Variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

struct Row {
    const char* name;  // the test's name
    const char* port;  // LOGIN_TEST_<port>_PORT is where the attempt goes
    int32_t state;     // the state code the attempt leaves, on both faces
    bool bLoggedIn;    // the attempt counts as a login
    bool bStrict;      // strict mode, trusting the server's certificate (native only)
};

// clang-format off
const Row kRows[] = {
    // name                where the attempt goes   state code        login  strict
    {"PassThrough",         "FAULT_PASS",            0,                true,  false},
    {"FixedLatency",        "FAULT_LATENCY",         0,                true,  false},
    {"ConnectRefused",      "FAULT_REFUSE",          kCannotConnect,   false, false},
    {"ConnectBlackHoled",   "FAULT_BLACKHOLE",       kTimeout,         false, false},
    {"StallInHandshake",    "FAULT_STALL_HANDSHAKE", kTimeout,         false, false},
    {"StallAfterRequest",   "FAULT_STALL_REQUEST",   kTimeout,         false, false},
    {"StallAfterHeaders",   "FAULT_STALL_HEADERS",   kTimeout,         false, false},
    {"StallMidBody",        "FAULT_STALL_BODY",      kTimeout,         false, false},
    {"DripByteASecond",     "FAULT_DRIP",            kTimeout,         false, false},
    {"ResetMidReply",       "FAULT_RESET",           kAborted,         false, false},
    {"SelfRedirect",        "SELF_REDIRECT",         kRedirectFailed,  false, false},
    {"ClaimsFourGigabytes", "CLAIM",                 kInvalidResponse, false, false},
    // No refusal code: a login in the default mode, refused in strict mode.
    {"CaptivePortalCountsAsLogin",  "PORTAL",        0,                true,  false},
    {"CaptivePortalRefusedStrict",  "PORTAL",        kNotAReply,       false, true},
    {"OverloadedCountsAsLogin",     "OVERLOADED",    0,                true,  false},
    {"OverloadedRefusedStrict",     "OVERLOADED",    kNotAReply,       false, true},
};
// clang-format on

// A host with a registry store and key folder of its own, a SIM of the given identity, and its
// URLs leading to a loopback port.
struct SandboxedHost {
    explicit SandboxedHost(const std::string& imsi) {
        registry.CreateKey("Software\\Mirolan\\Velko");
        host.comm.SetSpn("CMCC");
        host.comm.SetImsi(imsi);
        host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir.WithSeparator());
    }
    void PointAt(const std::string& port) {
        const std::string base = "https://127.0.0.1:" + port;
        host.setting.Sys("REGISTER", "URL", base + "/register");
        host.setting.Sys("LOGIN", "URL", base + "/login");
    }

    RegistrySandbox registry;
    TempDir dir;
    FakeHost host;
};

class FaultTableTest : public ::testing::TestWithParam<Row> {
protected:
    ~FaultTableTest() override { login.reset(); }

    // The URLs lead to the server (or proxy port) named LOGIN_TEST_<name>_PORT.
    bool PointAt(const std::string& name) {
        const std::string port = Variable("LOGIN_TEST_" + name + "_PORT");
        if (port.empty()) return false;
        m_sandbox.PointAt(port);
        return true;
    }
    // A new login object whose client has the given options; with none, the platform's client
    // as the plug-in makes it (WinINet's default time-outs).
    void MakeLogin(const HttpClientOptions* options) {
        login.reset();  // (which stops its clock)
        clock = std::make_shared<ManualClock>();
        LoginEnvironment env;
        env.clock = clock;
        if (options) {
            recorder = std::make_unique<RecordingHttps>(*options);
            env.httpClient = recorder->Factory();
        }
        login = std::make_unique<CLoginImpl>(&host.container, env);
    }
    int Logins() const { return recorder->Count("OpenRequest(/login)"); }
    // Some record names the number.
    bool Traced(int32_t error) const {
        for (const TraceRecord& record : trace.Records()) {
            if (record.message.find(std::to_string(error)) != std::string::npos) return true;
        }
        return false;
    }

    // Each row its own subscriber: the servers live for the whole run.
    SandboxedHost m_sandbox{
        "46000" +
        std::to_string(1000000000 + std::hash<std::string>()(GetParam().name) % 999999999)};
    FakeHost& host = m_sandbox.host;
    TraceCapture trace;
    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<RecordingHttps> recorder;
    std::unique_ptr<CLoginImpl> login;
};

bool UnderWine() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

TEST_P(FaultTableTest, AttemptEndsWithItsErrorAndTheRetryLogsIn) {
    const Row& row = GetParam();
    if (!PointAt("FAULT_SERVER")) GTEST_SKIP() << "run through with_faults.sh";
    if (row.bStrict && UnderWine()) GTEST_SKIP() << "strict rows run natively only";
    HttpClientOptions options;
    options.timeouts = ShortTimeouts();
    if (row.bStrict) {
        const std::string certificate =
            Variable("LOGIN_TEST_CERT_DIR") + "/" +
            (std::string(row.port) == "PORTAL" ? "portal.pem" : "overloaded.pem");
        host.setting.Sys("SECURITY", "STRICT", "1");
        host.setting.Sys("SECURITY", "CAFILE", certificate);
        options.strTrustedCertificates = certificate;
        options.redirects = HttpRedirectPolicy::kSameHostHttps;
    }

    // The SIM registers once over a good link, so that each attempt below is one login.
    MakeLogin(&options);
    if (!row.bStrict) {
        ASSERT_TRUE(login->DoLoginThread()) << login->GetErrorCode();
    }
    ASSERT_TRUE(PointAt(row.port));
    if (row.bStrict) {
        // Registration is the portal's page too: the key file gets a password by hand.
        ASSERT_TRUE(login->WritePwd(m_sandbox.dir.File("Key.dtc"), "stored"));
    }
    MakeLogin(&options);
    trace.Clear();

    ASSERT_TRUE(login->StartLogin());
    ASSERT_TRUE(clock->WaitForSleep(0));
    // The first pass makes the attempt; the step returns once the worker sleeps again, that is
    // once the attempt has ended.
    ASSERT_TRUE(clock->Step(1000)) << "the attempt did not end";
    EXPECT_EQ(Logins(), 1);
    const int32_t state = row.state;
    EXPECT_EQ(login->GetErrorCode(), state);
    EXPECT_EQ(login->IsLoginSuccess(), row.bLoggedIn);
    if (state > 0) {
        EXPECT_TRUE(Traced(state)) << "no record names " << state;
    }
    if (row.bLoggedIn) return;

    // Nothing happens before the period is over, then one attempt: over the good link again,
    // it logs in; a portal stays a portal, which strict mode keeps refusing.
    if (!row.bStrict) {
        ASSERT_TRUE(PointAt("FAULT_PASS"));
    }
    ASSERT_TRUE(clock->Step(58000));
    EXPECT_EQ(Logins(), 1);
    ASSERT_TRUE(clock->Step(1000));
    EXPECT_EQ(Logins(), 2);
    EXPECT_EQ(login->IsLoginSuccess(), !row.bStrict);
    EXPECT_EQ(login->GetErrorCode(), row.bStrict ? kNotAReply : 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTableTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

// The plug-in as shipped: the platform's client with WinINet's default time-outs, through the
// proxy, logs in.
TEST(FaultTableDefaultsTest, PluginRunsWithTheDefaultTimeouts) {
    const std::string port = Variable("LOGIN_TEST_FAULT_PASS_PORT");
    if (port.empty()) GTEST_SKIP() << "run through with_faults.sh";
    SandboxedHost sandbox("460009988776655");
    sandbox.PointAt(port);
    LoginEnvironment env;
    env.clock = std::make_shared<ManualClock>();
    CLoginImpl login(&sandbox.host.container, env);
    EXPECT_TRUE(login.DoLoginThread()) << login.GetErrorCode();
    EXPECT_TRUE(login.IsLoginSuccess());
}

// Strict mode traces nothing the server said, even where the client quotes it: a refused
// redirect's address stays out of the trace (the default mode has it). Natively only, as the
// strict rows above.
TEST(FaultTableStrictTraceTest, RefusedRedirectIsTracedWithoutTheServersAddress) {
    const std::string port = Variable("LOGIN_TEST_REDIRECT_AWAY_PORT");
    if (port.empty()) GTEST_SKIP() << "run through with_faults.sh";
    if (UnderWine()) GTEST_SKIP() << "strict mode natively only";
    for (const bool bStrict : {false, true}) {
        SCOPED_TRACE(bStrict);
        SandboxedHost sandbox("460009988776654");
        sandbox.PointAt(port);
        FakeHost& host = sandbox.host;
        const std::string certificate = Variable("LOGIN_TEST_CERT_DIR") + "/away.pem";
        HttpClientOptions options;
        options.redirects = HttpRedirectPolicy::kSameHostHttps;  // refused in both modes
        if (bStrict) {
            host.setting.Sys("SECURITY", "STRICT", "1");
            host.setting.Sys("SECURITY", "CAFILE", certificate);
            options.strTrustedCertificates = certificate;
        }
        RecordingHttps recorder(options);
        LoginEnvironment env;
        env.clock = std::make_shared<ManualClock>();
        env.httpClient = recorder.Factory();
        TraceCapture trace;
        CLoginImpl login(&host.container, env);
        EXPECT_FALSE(login.DoLoginThread());
        EXPECT_EQ(login.GetErrorCode(), 12040);
        bool bQuoted = false;
        for (const TraceRecord& record : trace.Records()) {
            bQuoted |= record.message.find("secret-path") != std::string::npos;
        }
        EXPECT_EQ(bQuoted, !bStrict);
    }
}

}  // namespace
