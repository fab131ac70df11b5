// The server's replies: the registration's password, the login's key and session, the result
// code as atoi reads it, and what each failure traces and leaves.
#include <gtest/gtest.h>

#include <tuple>

#include "FakeHost.h"
#include "LoginImpl.h"
#include "libs/trace/TraceCapture.h"

namespace {

std::string Coded(const std::string& code, const std::string& rest = "") {
    return "<result><resultValue>" + code + "</resultValue>" + rest + "</result>";
}

class ServerRepliesTest : public ::testing::Test {
protected:
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
    // Out of range saturates rather than wrapping to a success.
    for (const auto& [code, error, password] :
         {std::tuple<const char*, int, const char*>{"-4", -4, ""},
          {" 7abc", 7, ""},
          {"abc", 0, "pw"},
          {"99999999999999999999", 2147483647, ""}}) {
        EXPECT_EQ(login.GetPwdFromResponse(Coded(code, "<password>pw</password>")), password)
            << code;
        EXPECT_EQ(login.GetErrorCode(), error) << code;
    }
    EXPECT_EQ(trace.Count("atoi() failed!", 2), 3);
}

TEST_F(ServerRepliesTest, RegistrationFailuresTraceAndLeaveTheCode) {
    login.GetPwdFromResponse(Coded("9"));  // a code to keep
    const std::string wrongRoot = "<reply><resultValue>0</resultValue></reply>";
    for (const auto& [reply, message, error] : {
             std::tuple<std::string, const char*, int>{"<html><body>502</html>",
                                                       "markup.SetDoc() failed!", 9},
             {wrongRoot, "markup.FindElem() failed! can not find \"result\" flag", 9},
             {"<result><code>0</code></result>",
              "markup.FindElem() failed! can not find \"resultValue\" flag", 9},
             {Coded(""), "strResultValue equal !", 9},
             {"<result><password>pw</password><resultValue>0</resultValue></result>",
              "markup.FindElem() failed! can not find \"password\" flag", 0},
         }) {
        EXPECT_EQ(login.GetPwdFromResponse(reply), "") << reply;
        EXPECT_TRUE(trace.Has(message, 2)) << reply;
        EXPECT_EQ(login.GetErrorCode(), error) << reply;
    }
    EXPECT_TRUE(trace.Has(wrongRoot, 2));  // the reply itself follows its trace
    const TraceRecord record = trace.Find("markup.SetDoc() failed!");
    EXPECT_EQ(record.module, "LoginPlguin");
    EXPECT_EQ(record.source, "src\\LoginPlugin\\LoginImpl");
}

TEST_F(ServerRepliesTest, LoginTakesKeyAndSessionOrTracesTheCodeAsReceived) {
    EXPECT_TRUE(login.ParseLoginResult(
        "<result><x/><resultValue>0</resultValue><note>hi</note><encodekey>K&lt;1</encodekey>"
        "<y>2</y><sessionid> S1 </sessionid><z/></result>",
        result));
    EXPECT_EQ(result.strEncodeKey, "K<1");
    EXPECT_EQ(result.strSessionId, " S1 ");

    result = LoginResult{"old-key", "old-session"};
    for (const auto& [code, error] : {std::pair<const char*, int>{"3", 3}, {" 7abc", 7}}) {
        EXPECT_FALSE(login.ParseLoginResult(Coded(code), result));
        EXPECT_EQ(login.GetErrorCode(), error);
        EXPECT_TRUE(trace.Has(std::string("0 != m_iError! m_iError = ") + code, 2)) << code;
    }
    EXPECT_FALSE(
        login.ParseLoginResult("<html><head><title>502</title></head><body><p>Bad", result));
    EXPECT_EQ(login.GetErrorCode(), -3);
    EXPECT_TRUE(trace.Has("markup.SetDoc() failed!", 2));
    EXPECT_EQ(result.strEncodeKey + result.strSessionId, "old-keyold-session");
}

TEST_F(ServerRepliesTest, OtherLoginFailuresTraceAndLeaveTheCodeAndTheResult) {
    login.ParseLoginResult(Coded("42"), result);
    for (const auto& [reply, message, level, error] : {
             std::tuple<std::string, const char*, int, int>{"", "strResponse equal !", 4, 42},
             {"<reply><resultValue>0</resultValue></reply>",
              "markup.FindElem(result) failed! can not find \"result\" flag", 2, 42},
             {"<result><value>0</value></result>",
              "markup.FindElem(resultValue) failed! can not find \"resultValue\" flag", 2, 42},
             {"<result><resultValue/></result>", "strResultValue equal !", 2, 42},
             // With a code of 0, the key and the session must come in this order.
             {Coded("0", "<sessionid>S</sessionid><encodekey>K</encodekey>"),
              "markup.FindElem(sessionid) failed! can not find \"sessionid\" flag", 2, 0},
             {Coded("0", "<sessionid>S</sessionid>"),
              "markup.FindElem(encodekey) failed! can not find \"encodekey\" flag", 2, 0},
         }) {
        EXPECT_FALSE(login.ParseLoginResult(reply, result)) << reply;
        EXPECT_TRUE(trace.Has(message, level)) << reply;
        EXPECT_EQ(login.GetErrorCode(), error) << reply;
    }
    EXPECT_EQ(result.strEncodeKey + result.strSessionId, "old-keyold-session");
}

}  // namespace
