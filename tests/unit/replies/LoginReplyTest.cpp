// The login reply: encode key and session id, the result code, and what a failed parse keeps.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "TraceCapture.h"

namespace {

const LoginResult kEarlier{"old-key", "old-session"};

class LoginReplyTest : public ::testing::Test {
protected:
    bool Parse(const std::string& reply) { return login.ParseLoginResult(reply, result); }
    void ExpectEarlierResultKept() {
        EXPECT_EQ(result.strEncodeKey, kEarlier.strEncodeKey);
        EXPECT_EQ(result.strSessionId, kEarlier.strSessionId);
    }

    FakeHost host;
    CLoginImpl login{&host.container};
    TraceCapture trace;
    LoginResult result = kEarlier;
};

TEST_F(LoginReplyTest, AcceptedReplyFillsBothValuesSkippingOtherElements) {
    EXPECT_TRUE(
        Parse("<result><x/><resultValue>0</resultValue><note>hi</note>"
              "<encodekey>K&lt;1</encodekey><y>2</y><sessionid> S1 </sessionid>"
              "<z/></result>"));
    EXPECT_EQ(result.strEncodeKey, "K<1");
    EXPECT_EQ(result.strSessionId, " S1 ");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(LoginReplyTest, RefusalKeepsTheCodeAndTheEarlierResult) {
    EXPECT_FALSE(Parse("<result><resultValue>3</resultValue></result>"));
    EXPECT_EQ(login.GetErrorCode(), 3);
    EXPECT_TRUE(trace.Has("0 != m_iError! m_iError = 3", 2));
    ExpectEarlierResultKept();

    // The trace quotes the text as received, not the number.
    EXPECT_FALSE(Parse("<result><resultValue> 7abc</resultValue></result>"));
    EXPECT_EQ(login.GetErrorCode(), 7);
    EXPECT_TRUE(trace.Has("0 != m_iError! m_iError =  7abc", 2));
}

TEST_F(LoginReplyTest, SessionIdBeforeEncodeKeyIsNotFound) {
    EXPECT_FALSE(
        Parse("<result><resultValue>0</resultValue><sessionid>S</sessionid>"
              "<encodekey>K</encodekey></result>"));
    EXPECT_TRUE(trace.Has("markup.FindElem(sessionid) failed! can not find \"sessionid\" flag", 2));
    ExpectEarlierResultKept();
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(LoginReplyTest, ReplyThatIsNotXmlIsMinusThree) {
    EXPECT_FALSE(Parse("<html><head><title>502 Bad Gateway</title></head><body><p>Bad"));
    EXPECT_EQ(login.GetErrorCode(), -3);
    EXPECT_TRUE(trace.Has("markup.SetDoc() failed!", 2));
    ExpectEarlierResultKept();
}

TEST_F(LoginReplyTest, OtherFailuresLeaveTheCodeAsItWas) {
    Parse("<result><resultValue>42</resultValue></result>");
    ASSERT_EQ(login.GetErrorCode(), 42);

    EXPECT_FALSE(Parse(""));
    EXPECT_TRUE(trace.Has("strResponse equal !", 4));
    EXPECT_FALSE(Parse("<reply><resultValue>0</resultValue></reply>"));
    EXPECT_TRUE(trace.Has("markup.FindElem(result) failed! can not find \"result\" flag", 2));
    EXPECT_FALSE(Parse("<result><value>0</value></result>"));
    EXPECT_TRUE(
        trace.Has("markup.FindElem(resultValue) failed! can not find \"resultValue\" flag", 2));
    EXPECT_FALSE(Parse("<result><resultValue/></result>"));
    EXPECT_TRUE(trace.Has("strResultValue equal !", 2));

    EXPECT_EQ(login.GetErrorCode(), 42);
    ExpectEarlierResultKept();
}

TEST_F(LoginReplyTest, AcceptedReplyWithoutEncodeKeyIsAFailureThatLeavesZero) {
    EXPECT_FALSE(Parse("<result><resultValue>0</resultValue><sessionid>S</sessionid></result>"));
    EXPECT_TRUE(trace.Has("markup.FindElem(encodekey) failed! can not find \"encodekey\" flag", 2));
    EXPECT_EQ(login.GetErrorCode(), 0);
    ExpectEarlierResultKept();
}

}  // namespace
