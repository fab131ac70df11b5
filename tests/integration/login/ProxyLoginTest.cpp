// The login sequence through tinyproxy asking for Basic credentials: the 407, the stored
// credentials, a proxy without credentials, and a proxy setting without a port. (squid, which
// keeps its connection after a 407, is the proxy suite's.) (Credentials
// the client cannot take are the exchange's unit tests' part.)
#include "LoginServerFixture.h"
#include "LoginStates.h"

namespace {

const char kUser[] = "velko";
const char kPassword[] = "pr0xy";

class ProxyLoginTest : public LoginServerTest {
protected:
    void StartBoth() {
        StartServer({}, false);
        std::string error;
        ASSERT_TRUE(proxy.Start(kUser, kPassword, server.Port(), error)) << error;
        const std::string address = proxy.Address();
        host.setting.User("PROXY", "TYPE", "1");
        host.setting.User("PROXY", "ADDRESS", address.substr(0, address.find(':')));
        host.setting.User("PROXY", "PORT", address.substr(address.find(':') + 1));
    }
    void StoreCredentials() {
        host.setting.User("PROXY", "USER", kUser);
        host.setting.User("PROXY", "PASSWORD", host.crypt.Encrypt(kPassword));
    }
    AuthProxy proxy;
};

TEST_F(ProxyLoginTest, ProxyAsksAndTheStoredCredentialsAreSent) {
    StartBoth();
    StoreCredentials();
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_TRUE(login->IsLoginSuccess());
    // Each request: refused by the proxy, sent again with the credentials, which meets the
    // server's self-signed certificate, and sent once more with the checks relaxed.
    const Ops expected = {"Open(3 " + proxy.Address() + ")",
                          "OpenRequest(/register)",
                          "Send=ok",
                          "Status=407",
                          "SetOption(43)",
                          "SetOption(44)",
                          "Send=12045",
                          "SetOption(31)",
                          "Send=ok"};
    const Ops ops = recorder->Ops();
    ASSERT_GE(ops.size(), expected.size());
    EXPECT_EQ(Ops(ops.begin(), ops.begin() + expected.size()), expected);
    EXPECT_EQ(recorder->Count("Status=407"), 2);
    EXPECT_EQ(recorder->Count("Send="), 6);
}

TEST_F(ProxyLoginTest, WithoutStoredCredentialsTheRefusalEndsTheAttempt) {
    StartBoth();
    ASSERT_TRUE(login->WritePwd(KeyFile(), "stored"));
    // Nothing to answer the proxy with: no second send, and the proxy's page is no login.
    EXPECT_FALSE(login->DoLoginThread());
    EXPECT_EQ(recorder->Count("SetOption(43)"), 0);
    EXPECT_EQ(recorder->Count("Send="), 1);
    EXPECT_EQ(recorder->Count("Status=407"), 1);
    EXPECT_EQ(trace.Count("GetAccountInfo() failed!", 2), 1);
    EXPECT_EQ(login->GetErrorCode(), LOGIN_STATE_PROXY_CREDENTIALS);
    EXPECT_EQ(login->GetLoginResult().strSessionId, "");
}

TEST_F(ProxyLoginTest, AddressWithoutAPortGoesDirect) {
    StartBoth();
    StoreCredentials();
    host.setting.User("PROXY", "PORT", "");
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_EQ(recorder->Ops().front(), "Open(1)");
    EXPECT_EQ(recorder->Count("Status=407"), 0);
    // The server's own certificate: one retry per request.
    EXPECT_EQ(recorder->Count("Send=12045"), 2);
    EXPECT_EQ(recorder->Count("SetOption(31)"), 2);
}

}  // namespace
