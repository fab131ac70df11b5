// DoLoginThread: registration when no password is stored, the login, the second registration
// that the refusals 2 and 3 ask for, and the codes it leaves.
#include <fstream>
#include <thread>

#include "WorkerFixture.h"

namespace {

using LoginSequenceTest = WorkerTest;

TEST_F(LoginSequenceTest, WithoutAStoredPasswordItRegistersThenLogsIn) {
    https.Script().Replies(200, Registered("pw-1")).Replies(200, Accepted("S1"));
    ASSERT_TRUE(login.DoLoginThread());

    EXPECT_EQ(Bodies(),
              (std::vector<std::string>{RegisterBody(kImsiA), LoginBody(kImsiA, "pw-1")}));
    const auto requests = https.Calls("OpenRequest");
    EXPECT_EQ(requests[0].text2, "/register");
    EXPECT_EQ(requests[1].text2, "/login");
    EXPECT_TRUE(login.IsLoginSuccess());
    EXPECT_EQ(login.GetErrorCode(), 0);
    EXPECT_EQ(login.GetPassword(), "pw-1");
    EXPECT_EQ(login.GetLoginResult().strSessionId, "S1");
    EXPECT_EQ(login.ReadPwd(login.GetKeyFile()), "pw-1");  // kept for the next run
    EXPECT_EQ(trace.Count("Enter DoLoginThread()!", 4), 1);
    EXPECT_EQ(trace.Count("Leave DoLoginThread()!", 4), 1);
}

TEST_F(LoginSequenceTest, WithAStoredPasswordItOnlyLogsIn) {
    StorePassword("stored");
    https.Script().Replies(200, Accepted("S2"));
    ASSERT_TRUE(login.DoLoginThread());
    EXPECT_EQ(Bodies(), std::vector<std::string>{LoginBody(kImsiA, "stored")});
    EXPECT_EQ(login.GetPassword(), "stored");
}

class RegisterAgainTest : public WorkerTest, public ::testing::WithParamInterface<int> {};

// In strict mode too: the fresh password's login carries a session.
TEST_P(RegisterAgainTest, RefusalLeadsToOneRegistrationAndOneMoreLogin) {
    for (const char* strict : {"0", "1"}) {
        SCOPED_TRACE(strict);
        host.setting.Sys("SECURITY", "STRICT", strict);
        StorePassword("stale");
        const size_t before = Bodies().size();
        https.Script()
            .Replies(200, Refused(GetParam()))
            .Replies(200, Registered("fresh"))
            .Replies(200, Accepted("S3"));
        ASSERT_TRUE(login.DoLoginThread());
        const std::vector<std::string> bodies = Bodies();
        EXPECT_EQ(std::vector<std::string>(bodies.begin() + before, bodies.end()),
                  (std::vector<std::string>{LoginBody(kImsiA, "stale"), RegisterBody(kImsiA),
                                            LoginBody(kImsiA, "fresh")}));
        EXPECT_TRUE(login.IsLoginSuccess());
        EXPECT_EQ(login.GetPassword(), "fresh");
        EXPECT_EQ(login.GetErrorCode(), 0);
    }
}

TEST_P(RegisterAgainTest, SecondRefusalEndsTheSequence) {
    StorePassword("stale");
    https.Script()
        .Replies(200, Refused(GetParam()))
        .Replies(200, Registered("fresh"))
        .Replies(200, Refused(GetParam()));
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(https.Count("Send"), 3);  // no third login, no second registration
    EXPECT_EQ(login.GetErrorCode(), GetParam());
    EXPECT_EQ(trace.Count("DoLoginServer failed!", 2), 1);
    EXPECT_FALSE(login.IsLoginSuccess());
    EXPECT_FALSE(trace.Has("Leave DoLoginThread()!"));
}

INSTANTIATE_TEST_SUITE_P(Codes, RegisterAgainTest, ::testing::Values(2, 3));

// A key file damaged past reading after the start takes the password of the next registration,
// so that the login after that needs none. (A deleted or foreign file: KeyFileTest.)
TEST_F(LoginSequenceTest, AfterTheKeyFileIsLostTheNextRegistrationStoresItsPasswordAgain) {
    https.Script()
        .Replies(200, Registered("pw-1"))
        .Replies(200, Accepted("S1"))
        .Replies(200, Registered("pw-2"))
        .Replies(200, Accepted("S2"))
        .Replies(200, Accepted("S3"));
    ASSERT_TRUE(login.DoLoginThread());
    std::ofstream(login.GetKeyFile(), std::ios::binary | std::ios::trunc) << "not a record file";
    ASSERT_TRUE(login.DoLoginThread());
    ASSERT_TRUE(login.DoLoginThread());
    EXPECT_EQ(Bodies(), (std::vector<std::string>{RegisterBody(kImsiA), LoginBody(kImsiA, "pw-1"),
                                                  RegisterBody(kImsiA), LoginBody(kImsiA, "pw-2"),
                                                  LoginBody(kImsiA, "pw-2")}));
    EXPECT_FALSE(trace.Has("WritePwd() throw CVelkoException exception!"));
}

TEST_F(LoginSequenceTest, OtherRefusalDoesNotRegister) {
    StorePassword("pw");
    https.Script().Replies(200, Refused(7));
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(https.Count("Send"), 1);
    EXPECT_EQ(login.GetErrorCode(), 7);
    EXPECT_TRUE(trace.Has("DoLoginServer failed!", 2));
}

TEST_F(LoginSequenceTest, MissingSimTypeOrKeyFileEndBeforeAnyExchange) {
    host.comm.SetSpn("");  // and no string resource 11004 to stand in for it
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(login.GetErrorCode(), -3);
    EXPECT_TRUE(trace.Has("strSimTypeID equal !", 3));

    host.comm.SetSpn(kSimType);
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", "");
    host.container.Withdraw(PLUGIN_ID_SETTING, IID_SETTING);  // no setting, no key file path
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(login.GetErrorCode(), -1);
    EXPECT_TRUE(trace.Has("strKeyFile equal !", 3));
    EXPECT_EQ(https.ClientsMade(), 0);
}

TEST_F(LoginSequenceTest, MissingUrlsEndTheSequenceAndLeaveTheCode) {
    host.setting.Sys("REGISTER", "URL", "");
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_TRUE(trace.Has("strRegURL equal !", 3));

    StorePassword("pw");
    host.setting.Sys("LOGIN", "URL", "");
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_TRUE(trace.Has("strLoginURL equal !", 3));
    EXPECT_EQ(https.ClientsMade(), 0);
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(LoginSequenceTest, RegistrationThatGivesNoPasswordEndsTheSequence) {
    https.Script().Replies(200, Refused(4));
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_TRUE(trace.Has("m_strPwd equal !", 3));
    EXPECT_EQ(login.GetErrorCode(), 4);
    EXPECT_EQ(https.Count("Send"), 1);
}

TEST_F(LoginSequenceTest, SecondSequenceWhileOneRunsReturnsAtOnce) {
    StorePassword("pw");
    https.HoldSends();
    bool bFirst = false;
    std::thread first([&] { bFirst = login.DoLoginThread(); });
    ASSERT_TRUE(https.WaitForBlockedSend());
    EXPECT_FALSE(login.DoLoginThread());
    EXPECT_EQ(trace.Count("Enter DoLoginThread()!", 4), 2);
    https.Script().Replies(200, Accepted("S"));
    https.ReleaseSends();
    first.join();
    EXPECT_TRUE(bFirst);
    EXPECT_EQ(https.Count("Send"), 1);
}

}  // namespace
