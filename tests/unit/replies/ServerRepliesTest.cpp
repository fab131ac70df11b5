// The server's replies: the registration's password, the login's key and session, the result
// code as atoi reads it, and what each failure traces and leaves.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "TraceCapture.h"

namespace {

class ServerRepliesTest : public ::testing::Test {
protected:
    bool ParseLogin(const std::string& reply) { return login.ParseLoginResult(reply, result); }
    void ExpectEarlierResultKept() {
        EXPECT_EQ(result.strEncodeKey, "old-key");
        EXPECT_EQ(result.strSessionId, "old-session");
    }

    FakeHost host;
    CLoginImpl login{&host.container};
    TraceCapture trace;
    LoginResult result{"old-key", "old-session"};
};

TEST_F(ServerRepliesTest, RegistrationGivesThePasswordOnlyWhenTheCodeReadsAsZero) {
    EXPECT_EQ(
        login.GetPwdFromResponse("<?xml version=\"1.0\"?><result><other>x</other><resultValue>"
                                 "0</resultValue><password> p&amp;w </password></result>"),
        " p&w ");
    struct Case {
        const char* code;
        int error;
        const char* password;
    };
    // Out of range saturates rather than wrapping to a success.
    const Case cases[] = {{"-4", -4, ""},
                          {" 7abc", 7, ""},
                          {"abc", 0, "pw"},
                          {"99999999999999999999", 2147483647, ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(login.GetPwdFromResponse(std::string("<result><resultValue>") + c.code +
                                           "</resultValue><password>pw</password></result>"),
                  c.password)
            << c.code;
        EXPECT_EQ(login.GetErrorCode(), c.error) << c.code;
    }
    EXPECT_EQ(trace.Count("atoi() failed!", 2), 3);
}

TEST_F(ServerRepliesTest, PasswordBeforeTheCodeIsNotFound) {
    EXPECT_EQ(login.GetPwdFromResponse(
                  "<result><password>secret</password><resultValue>0</resultValue></result>"),
              "");
    EXPECT_EQ(login.GetErrorCode(), 0);
    const TraceRecord record =
        trace.Find("markup.FindElem() failed! can not find \"password\" flag");
    EXPECT_EQ(record.level, 2);
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");
}

TEST_F(ServerRepliesTest, RegistrationFailuresTraceAndLeaveTheCode) {
    login.GetPwdFromResponse("<result><resultValue>9</resultValue></result>");  // a code to keep
    const char* wrongRoot = "<reply><resultValue>0</resultValue></reply>";
    const std::pair<const char*, const char*> cases[] = {
        {"<html><body>502</html>", "markup.SetDoc() failed!"},
        {wrongRoot, "markup.FindElem() failed! can not find \"result\" flag"},
        {"<result><code>0</code></result>",
         "markup.FindElem() failed! can not find \"resultValue\" flag"},
        {"<result><resultValue></resultValue></result>", "strResultValue equal !"},
    };
    for (const auto& [reply, message] : cases) {
        EXPECT_EQ(login.GetPwdFromResponse(reply), "") << reply;
        EXPECT_TRUE(trace.Has(message, 2)) << reply;
        EXPECT_EQ(login.GetErrorCode(), 9) << reply;
    }
    EXPECT_TRUE(trace.Has(wrongRoot, 2));  // the reply itself follows its trace
}

TEST_F(ServerRepliesTest, AcceptedLoginFillsKeyAndSessionSkippingOtherElements) {
    EXPECT_TRUE(ParseLogin(
        "<result><x/><resultValue>0</resultValue><note>hi</note><encodekey>K&lt;1</encodekey>"
        "<y>2</y><sessionid> S1 </sessionid><z/></result>"));
    EXPECT_EQ(result.strEncodeKey, "K<1");
    EXPECT_EQ(result.strSessionId, " S1 ");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(ServerRepliesTest, LoginRefusalTracesTheCodeAsReceivedAndKeepsTheEarlierResult) {
    for (const auto& [code, error] : {std::pair<const char*, int>{"3", 3}, {" 7abc", 7}}) {
        EXPECT_FALSE(
            ParseLogin(std::string("<result><resultValue>") + code + "</resultValue></result>"));
        EXPECT_EQ(login.GetErrorCode(), error);
        EXPECT_TRUE(trace.Has(std::string("0 != m_iError! m_iError = ") + code, 2)) << code;
    }
    EXPECT_FALSE(ParseLogin("<html><head><title>502 Bad Gateway</title></head><body><p>Bad"));
    EXPECT_EQ(login.GetErrorCode(), -3);
    EXPECT_TRUE(trace.Has("markup.SetDoc() failed!", 2));
    ExpectEarlierResultKept();
}

TEST_F(ServerRepliesTest, OtherLoginFailuresTraceAndLeaveTheCodeAndTheResult) {
    struct Case {
        const char* reply;
        const char* message;
        int level;
        int error;  // the code left: the refusal's, or 0 once a 0 was read
    };
    ParseLogin("<result><resultValue>42</resultValue></result>");
    const Case cases[] = {
        {"", "strResponse equal !", 4, 42},
        {"<reply><resultValue>0</resultValue></reply>",
         "markup.FindElem(result) failed! can not find \"result\" flag", 2, 42},
        {"<result><value>0</value></result>",
         "markup.FindElem(resultValue) failed! can not find \"resultValue\" flag", 2, 42},
        {"<result><resultValue/></result>", "strResultValue equal !", 2, 42},
        // With a code of 0, the key and the session must come in this order.
        {"<result><resultValue>0</resultValue><sessionid>S</sessionid><encodekey>K</encodekey>"
         "</result>",
         "markup.FindElem(sessionid) failed! can not find \"sessionid\" flag", 2, 0},
        {"<result><resultValue>0</resultValue><sessionid>S</sessionid></result>",
         "markup.FindElem(encodekey) failed! can not find \"encodekey\" flag", 2, 0},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(ParseLogin(c.reply)) << c.reply;
        EXPECT_TRUE(trace.Has(c.message, c.level)) << c.reply;
        EXPECT_EQ(login.GetErrorCode(), c.error) << c.reply;
    }
    ExpectEarlierResultKept();
}

}  // namespace
