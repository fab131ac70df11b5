// The login sequence against the account server over real TLS: registration and login, the
// stored password, the refusals, certificate tolerance, the reply buffer, and stopping while
// the server does not answer.
#include <sys/resource.h>

#include <cstdio>

#include "LoginServerFixture.h"

namespace {

using LoginExchangeTest = LoginServerTest;

TEST_F(LoginExchangeTest, RegistersThenLogsInAndNextTimeOnlyLogsIn) {
    StartServer({}, true);
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_TRUE(login->IsLoginSuccess());
    EXPECT_EQ(login->GetErrorCode(), 0);
    EXPECT_EQ(recorder->Count("OpenRequest(/register)"), 1);
    EXPECT_EQ(recorder->Count("OpenRequest(/login)"), 1);
    EXPECT_EQ(recorder->Count("SetOption"), 0);  // a trusted certificate needs no retry
    const LoginResult result = login->GetLoginResult();
    EXPECT_EQ(result.strEncodeKey.size(), 16u);
    EXPECT_EQ(result.strSessionId.size(), 32u);
    const std::string password = login->GetPassword();
    EXPECT_FALSE(password.empty());
    EXPECT_EQ(login->ReadPwd(KeyFile()), password);

    MakeLogin();  // a later run: the password is in the key file
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_EQ(recorder->Count("OpenRequest(/register)"), 1);
    EXPECT_EQ(recorder->Count("OpenRequest(/login)"), 2);
    EXPECT_EQ(login->GetPassword(), password);
    EXPECT_NE(login->GetLoginResult().strSessionId, result.strSessionId);
}

TEST_F(LoginExchangeTest, UnknownIdentityIsRegisteredAndLoggedInOnceMore) {
    StartServer({}, true);
    ASSERT_TRUE(login->WritePwd(KeyFile(), "guessed"));  // a password the server never gave
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_EQ(recorder->Ops().size(), 15u) << "login, registration, login";
    EXPECT_EQ(recorder->Count("OpenRequest(/register)"), 1);
    EXPECT_EQ(recorder->Count("OpenRequest(/login)"), 2);
    EXPECT_TRUE(trace.Has("0 != m_iError! m_iError = 2", 2));
    EXPECT_NE(login->ReadPwd(KeyFile()), "guessed");
}

TEST_F(LoginExchangeTest, WrongPasswordIsReplacedByANewRegistration) {
    StartServer({}, true);
    ASSERT_TRUE(login->DoLoginThread());
    ASSERT_TRUE(login->WritePwd(KeyFile(), "wrong"));
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_TRUE(trace.Has("0 != m_iError! m_iError = 3", 2));
    EXPECT_EQ(recorder->Count("OpenRequest(/register)"), 2);
    EXPECT_EQ(recorder->Count("OpenRequest(/login)"), 3);
    EXPECT_EQ(login->GetErrorCode(), 0);
}

TEST_F(LoginExchangeTest, SecondRefusalEndsTheSequenceAfterOneRegistration) {
    StartServer({"--login-code", "3"}, true);
    ASSERT_TRUE(login->WritePwd(KeyFile(), "stored"));
    EXPECT_FALSE(login->DoLoginThread());
    EXPECT_EQ(login->GetErrorCode(), 3);
    EXPECT_TRUE(trace.Has("DoLoginServer failed!", 2));
    EXPECT_EQ(recorder->Count("OpenRequest(/register)"), 1);
    EXPECT_EQ(recorder->Count("OpenRequest(/login)"), 2);
    EXPECT_FALSE(login->IsLoginSuccess());
}

TEST_F(LoginExchangeTest, OtherRefusalIsNotAnsweredWithARegistration) {
    StartServer({"--login-code", "7"}, true);
    ASSERT_TRUE(login->WritePwd(KeyFile(), "stored"));
    EXPECT_FALSE(login->DoLoginThread());
    EXPECT_EQ(login->GetErrorCode(), 7);
    EXPECT_EQ(recorder->Count("OpenRequest(/register)"), 0);
    EXPECT_EQ(recorder->Count("OpenRequest(/login)"), 1);
}

TEST_F(LoginExchangeTest, CertificateForAnotherNameIsAcceptedAfterOneRetry) {
    StartServer({"--cert-name", "other.example"}, true);
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_EQ(recorder->Ops()[2], "Send=12038");
    EXPECT_EQ(recorder->Ops()[3], "SetOption(31)");
    EXPECT_EQ(recorder->Ops()[4], "Send=ok");
    EXPECT_EQ(recorder->Count("SetOption(31)"), 2);  // one retry per request
    EXPECT_EQ(recorder->Count("Send=12038"), 2);
}

TEST_F(LoginExchangeTest, SelfSignedCertificateIsAcceptedAfterOneRetry) {
    StartServer({}, false);
    ASSERT_TRUE(login->DoLoginThread());
    EXPECT_EQ(recorder->Count("Send=12045"), 2);
    EXPECT_EQ(recorder->Count("SetOption(31)"), 2);
    EXPECT_EQ(recorder->Count("Send=ok"), 2);
    EXPECT_TRUE(login->IsLoginSuccess());
}

TEST_F(LoginExchangeTest, PlainHttpServerIsRefusedBeforeAnyConnection) {
    StartServer({"--plain"}, false, "http");
    EXPECT_FALSE(login->DoLoginThread());
    EXPECT_EQ(login->GetErrorCode(), -2);
    EXPECT_TRUE(recorder->Ops().empty());
}

TEST_F(LoginExchangeTest, ReplyWithoutLengthIsCutAtTheBuffer) {
    StartServer({"--pad-to", "20000", "--framing", "close"}, true);
    ServerReply reply;
    const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/login";
    const char* headers = "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
    ASSERT_TRUE(login->PostToServer(url, headers, "cid=1&pass=2&ctype=3", "", "", true, reply));
    EXPECT_EQ(reply.strText.size(), 10240u);
    EXPECT_EQ(reply.strText.rfind("<result><resultValue>2</resultValue></result><!--", 0), 0u);
    EXPECT_EQ(recorder->Ops().back(), "Read=10240");
}

TEST_F(LoginExchangeTest, ReplyWithALengthIsReadWhole) {
    StartServer({"--pad-to", "20000"}, true);
    ServerReply reply;
    const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/login";
    const char* headers = "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
    ASSERT_TRUE(login->PostToServer(url, headers, "cid=1&pass=2&ctype=3", "", "", true, reply));
    EXPECT_EQ(reply.strText.size(), 20000u);
}

// Anyone on the path can claim a length; the memory the exchange takes must not follow it.
TEST_F(LoginExchangeTest, ReplyClaimingMoreThanItSendsTakesNoMoreMemory) {
    struct Case {
        const char* claim;
        int error;  // over the bound: refused unread; under it: the short body's broken end
    };
    for (const Case& c : {Case{"4000000000", 12152}, Case{"1000000", 12030}}) {
        SCOPED_TRACE(c.claim);
        StartServer({"--claim-length", c.claim}, true);
        const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/login";
        const char* headers =
            "Accept:*/*\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        ServerReply reply;
        EXPECT_FALSE(
            login->PostToServer(url, headers, "cid=1&pass=2&ctype=3", "", "", true, reply));
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        EXPECT_EQ(login->GetErrorCode(), c.error);
        EXPECT_TRUE(trace.Has("InternetReadFile() failed!", 2));
        const long grownKiB = after.ru_maxrss - before.ru_maxrss;
        std::printf("[ measure  ] a reply claiming %s bytes: peak resident memory grew %ld KiB\n",
                    c.claim, grownKiB);
        EXPECT_LT(grownKiB, 16 * 1024);
    }
}

TEST_F(LoginExchangeTest, DestroyingTheLoginObjectCancelsAnUnansweredRequest) {
    StartServer({"--hang"}, true);
    ASSERT_TRUE(login->WritePwd(KeyFile(), "stored"));
    ASSERT_TRUE(login->StartLogin());
    ASSERT_TRUE(clock->WaitForSleep(0));
    clock->Advance(1000);  // the first pass: the login goes out and is held
    ASSERT_FALSE(server.Process().WaitForLine("holding POST /login").empty());

    const auto start = std::chrono::steady_clock::now();
    login.reset();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("[ measure  ] destroying the login object during an unanswered request: %lld ms\n",
                static_cast<long long>(ms));
    EXPECT_LT(ms, 1000);
    EXPECT_FALSE(trace.Has("~CLoginImpl() waits for an abandoned worker!"));
    EXPECT_EQ(recorder->Ops().back(), "Send=12017");
}

}  // namespace
