// The registration reply: the password, the result code, and the order of the elements.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "TraceCapture.h"

namespace {

class RegistrationReplyTest : public ::testing::Test {
protected:
    FakeHost host;
    CLoginImpl login{&host.container};
    TraceCapture trace;
};

TEST_F(RegistrationReplyTest, AcceptedReplyGivesThePasswordAsWritten) {
    EXPECT_EQ(login.GetPwdFromResponse("<?xml version=\"1.0\"?><result><other>x</other>"
                                       "<resultValue>0</resultValue><password> p&amp;w </password>"
                                       "</result>"),
              " p&w ");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(RegistrationReplyTest, RefusalCodeIsKeptAndNoPasswordIsTaken) {
    EXPECT_EQ(login.GetPwdFromResponse("<result><resultValue>-4</resultValue>"
                                       "<password>secret</password></result>"),
              "");
    EXPECT_EQ(login.GetErrorCode(), -4);
    EXPECT_TRUE(trace.Has("atoi() failed!", 2));
}

TEST_F(RegistrationReplyTest, PasswordBeforeTheCodeIsNotFound) {
    EXPECT_EQ(login.GetPwdFromResponse("<result><password>secret</password>"
                                       "<resultValue>0</resultValue></result>"),
              "");
    EXPECT_EQ(login.GetErrorCode(), 0);
    const TraceRecord record =
        trace.Find("markup.FindElem() failed! can not find \"password\" flag");
    EXPECT_EQ(record.level, 2);
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");
}

TEST_F(RegistrationReplyTest, EachMissingPartHasItsOwnTraceAndLeavesTheCode) {
    // A refusal first, so that "left as it was" can be told from a reset to 0.
    login.GetPwdFromResponse("<result><resultValue>9</resultValue></result>");
    ASSERT_EQ(login.GetErrorCode(), 9);

    EXPECT_EQ(login.GetPwdFromResponse("<html><body>502</html>"), "");
    EXPECT_TRUE(trace.Has("markup.SetDoc() failed!", 2));

    const std::string wrongRoot = "<reply><resultValue>0</resultValue></reply>";
    EXPECT_EQ(login.GetPwdFromResponse(wrongRoot), "");
    EXPECT_TRUE(trace.Has("markup.FindElem() failed! can not find \"result\" flag", 2));
    EXPECT_TRUE(trace.Has(wrongRoot, 2));  // the reply itself follows

    EXPECT_EQ(login.GetPwdFromResponse("<result><code>0</code></result>"), "");
    EXPECT_TRUE(trace.Has("markup.FindElem() failed! can not find \"resultValue\" flag", 2));

    EXPECT_EQ(login.GetPwdFromResponse("<result><resultValue></resultValue></result>"), "");
    EXPECT_TRUE(trace.Has("strResultValue equal !", 2));

    EXPECT_EQ(login.GetErrorCode(), 9);
}

TEST_F(RegistrationReplyTest, CodeIsReadAsAtoiDoes) {
    login.GetPwdFromResponse("<result><resultValue> 7abc</resultValue></result>");
    EXPECT_EQ(login.GetErrorCode(), 7);
    login.GetPwdFromResponse("<result><resultValue>-12x</resultValue></result>");
    EXPECT_EQ(login.GetErrorCode(), -12);
    // No leading digits reads as 0: accepted.
    EXPECT_EQ(login.GetPwdFromResponse(
                  "<result><resultValue>abc</resultValue><password>pw</password></result>"),
              "pw");
    EXPECT_EQ(login.GetErrorCode(), 0);
    // Far out of range saturates rather than wrapping to a success.
    login.GetPwdFromResponse("<result><resultValue>99999999999999999999</resultValue></result>");
    EXPECT_EQ(login.GetErrorCode(), 2147483647);
}

}  // namespace
