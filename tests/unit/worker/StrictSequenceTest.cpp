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
            ASSERT_TRUE(other.DoLoginServer(kLoginUrl, "pw", kSimType));  // an earlier session
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
