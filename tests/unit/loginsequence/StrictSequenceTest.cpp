// The login sequence in strict security mode: what counts as a login, and the host's setting
// taken once per sequence. (The second registration: RegisterAgainTest.)
#include "WorkerFixture.h"

namespace {

class StrictSequenceTest : public WorkerTest {
protected:
    StrictSequenceTest() { host.setting.Sys("SECURITY", "STRICT", "1"); }
};

// Replies that leave no refusal code but carry no session: a login by default, not in strict
// mode, where the host is told the reply was not a login reply and keeps the last session.
TEST_F(StrictSequenceTest, OnlyAReplyWithASessionCountsAsALogin) {
    const std::string replies[] = {
        "<result><unexpected/></result>",
        "",
        "<result><resultValue>0</resultValue><encodekey>EK</encodekey></result>",
        "<result><resultValue>0</resultValue><encodekey/><sessionid>S</sessionid></result>",
        "<result><resultValue>0</resultValue><encodekey>EK</encodekey><sessionid/></result>",
    };
    StorePassword("pw");
    for (const std::string& reply : replies) {
        for (const char* mode : {"0", "1"}) {
            SCOPED_TRACE(reply + " with STRICT=" + mode);
            const bool bStrict = mode[0] == '1';
            host.setting.Sys("SECURITY", "STRICT", mode);
            FakeHttps fresh;
            CLoginImpl other(&host.container, {clock, fresh.Factory()});
            fresh.Script().Replies(200, Accepted("OLD")).Replies(200, reply);
            ASSERT_TRUE(other.DoLoginServer(kLoginUrl, "pw", kSimType).bOk);  // an earlier session
            EXPECT_EQ(other.DoLoginThread(), !bStrict);
            EXPECT_EQ(other.IsLoginSuccess(), !bStrict);
            EXPECT_EQ(other.GetErrorCode(), bStrict ? -3 : 0);
            EXPECT_EQ(fresh.Count("Send"), 2);  // no registration either way
            if (bStrict) {
                EXPECT_EQ(other.GetLoginResult().strSessionId, "OLD");
            }
        }
    }
}

// The setting is read through the host's service, released again; a CA file that cannot be read
// is named in the trace and kept (no issuer is trusted then); no service gives the default.
TEST_F(StrictSequenceTest, TheLoginObjectReadsTheSettingFromTheHost) {
    host.setting.Sys("SECURITY", "CAFILE", "/nonexistent/issuers.pem");
    const int before = host.setting.Releases();
    login.ReadSecurityPolicy();
    EXPECT_EQ(host.setting.Releases() - before, 1);
    EXPECT_TRUE(login.Policy().IsStrict());
    EXPECT_TRUE(trace.Has("SECURITY/CAFILE cannot be read: /nonexistent/issuers.pem", 2));
    EXPECT_EQ(login.Policy().CaFile(), "/nonexistent/issuers.pem");
    host.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);
    login.ReadSecurityPolicy();
    EXPECT_FALSE(login.Policy().IsStrict());
}

// A change of the setting during a sequence waits for the next one.
TEST_F(StrictSequenceTest, TheSettingIsTakenAtTheStartOfEachSequence) {
    StorePassword("pw");
    https.Script().SendFails(12045).SendFails(12045).Replies(200, Accepted("S"));
    https.OnCall("Send", [this] { host.setting.Sys("SECURITY", "STRICT", "0"); });
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(login.GetErrorCode(), 12045);
    EXPECT_EQ(https.Count("Send"), 1);
    EXPECT_TRUE(trace.Has("strict security mode, trusted issuers: the system's", 4));

    EXPECT_TRUE(login.DoLoginThread());  // the default again: retried with the checks waived
    EXPECT_EQ(https.Count("Send"), 3);
    EXPECT_EQ(https.Count("SetOption"), 1);
}

}  // namespace
