// The login sequence against the account server over real TLS, natively with libcurl and under
// Wine with WinINet: certificate tolerance, the reply buffer and its bound, and stopping while the
// server does not answer. (Which refusal leads where is the unit tests' part, over the scripted
// layer; registration, login and the stored password are the host scenarios' first start and
// restart, on both faces.)
#include <cstdio>

#include "FormHeaders.h"
#include "LoginSuiteFixture.h"

namespace {

TEST_F(LoginSuiteTest, CertificateForAnotherNameIsAcceptedAfterOneRetryPerRequest) {
    SERVE(ServerKind::kOtherName);
    ASSERT_TRUE(login->DoLoginThread()) << login->GetErrorCode();
    const auto ops = recorder->Ops();
    ASSERT_GE(ops.size(), 5u);
    // With the issuer trusted only the name fails; WinINet, whose store knows no test issuer,
    // may name the unknown issuer first.
    EXPECT_TRUE(ops[2] == "Send=12038" || (!TrustsServer() && ops[2] == "Send=12045")) << ops[2];
    EXPECT_EQ(ops[3], "SetOption(31)");
    EXPECT_EQ(ops[4], "Send=ok");
    // One retry per request; WinINet keeps the waiver for the server for the process.
    if (TrustsServer()) {
        EXPECT_EQ(recorder->Count("SetOption(31)"), 2);
    }
}

TEST_F(LoginSuiteTest, ReplyWithoutLengthIsCutAtTheBuffer) {
    SERVE(ServerKind::kUnsized);
    ServerReply reply;
    ASSERT_TRUE(login->PostToServer(endpoint->base + "/login", kFormHeaders, "cid=1&pass=2&ctype=3",
                                    "", "", true, reply))
        << login->GetErrorCode();
    EXPECT_EQ(reply.strText.size(), 10240u);
    EXPECT_EQ(reply.strText.rfind("<result><resultValue>2</resultValue></result><!--", 0), 0u);
}

// Anyone on the path can claim a length; the exchange must not follow it.
TEST_F(LoginSuiteTest, ReplyClaimingMoreThanTheBoundIsRefusedUnread) {
    SERVE(ServerKind::kClaimsTooMuch);
    ServerReply reply;
    EXPECT_FALSE(login->PostToServer(endpoint->base + "/login", kFormHeaders,
                                     "cid=1&pass=2&ctype=3", "", "", true, reply));
    EXPECT_EQ(login->GetErrorCode(), 12152);
    EXPECT_TRUE(trace.Has("InternetReadFile() failed!", 2));
    EXPECT_EQ(recorder->Count("Read"), 0);
}

// Held by the server, the send blocks; destroying the login object must cancel it (the send
// returns to the worker with 12017 and the connection closes), not abandon the worker.
TEST_F(LoginSuiteTest, DestroyingTheLoginObjectCancelsAnUnansweredRequest) {
    SERVE(ServerKind::kHangs);
    ASSERT_TRUE(login->WritePwd(KeyFile(), "stored"));
    ASSERT_TRUE(login->StartLogin());
    ASSERT_TRUE(clock->WaitForSleep(0));
    clock->Advance(1000);  // the first pass: the login goes out and is held
    ASSERT_TRUE(endpoint->WaitForLine("holding POST /login"));

    const auto start = std::chrono::steady_clock::now();
    login.reset();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("[ measure  ] destroying the login object during an unanswered request: %lld ms\n",
                static_cast<long long>(ms));
    EXPECT_EQ(recorder->Ops().back(), "Send=12017");
    EXPECT_FALSE(trace.Has("~CLoginImpl() waits for an abandoned worker!"));
    if (endpoint->bSeesClientsLeave) {
        EXPECT_TRUE(endpoint->WaitForLine("closed the connection of POST /login"));
    }
}

}  // namespace
