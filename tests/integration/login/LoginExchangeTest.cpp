// The login case of the libcurl face alone: the memory a short reply's claim takes.
#include <sys/resource.h>

#include <cstdio>

#include "FormHeaders.h"
#include "LoginServerFixture.h"

namespace {

using LoginExchangeTest = LoginServerTest;

// A length under the bound that the body does not fill: the short body's broken end, and no
// more memory than the bound.
TEST_F(LoginExchangeTest, ReplyClaimingMoreThanItSendsTakesNoMoreMemory) {
    StartServer({"--claim-length", "1000000"}, true);
    const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/login";
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ServerReply reply;
    EXPECT_FALSE(
        login->PostToServer(url, kFormHeaders, "cid=1&pass=2&ctype=3", "", "", true, reply));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(login->GetErrorCode(), 12030);
    EXPECT_TRUE(trace.Has("InternetReadFile() failed!", 2));
    const long grownKiB = after.ru_maxrss - before.ru_maxrss;
    std::printf("[ measure  ] a reply claiming 1000000 bytes: peak resident memory grew %ld KiB\n",
                grownKiB);
    EXPECT_LT(grownKiB, 16 * 1024);
}

}  // namespace
