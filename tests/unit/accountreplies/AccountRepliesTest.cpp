// The account server's replies and requests as plain text: the registration's password, the
// login's key and session, the result code as atoi reads it, what each failure traces and leaves,
// and the bodies of the two requests.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "AccountReplies.h"
#include "AccountRequests.h"
#include "libs/trace/TraceCapture.h"

namespace {

// No result code read: the login object keeps the one it had.
constexpr std::optional<int32_t> kUntouched;

std::string Coded(const std::string& code, const std::string& rest = "") {
    return "<result><resultValue>" + code + "</resultValue>" + rest + "</result>";
}

TEST(AccountRepliesTest, ResultCodeReadsAsAtoiAndSaturates) {
    for (const auto& [text, code] : {std::pair<const char*, int32_t>{"0", 0},
                                     {" 7abc", 7},
                                     {"-4", -4},
                                     {"+12", 12},
                                     {"abc", 0},
                                     {"", 0},
                                     {"99999999999999999999", 2147483647},
                                     {"-99999999999999999999", -2147483647 - 1}}) {
        EXPECT_EQ(ReplyResultCode(text), code) << text;
    }
}

TEST(AccountRepliesTest, RegistrationGivesThePasswordOnlyWhenTheCodeReadsAsZero) {
    TraceCapture trace;
    for (const auto& [reply, password, error] : {
             std::tuple<std::string, const char*, std::optional<int32_t>>{
                 "<?xml version=\"1.0\"?><result><other>x</other><resultValue>0</resultValue>"
                 "<password> p&amp;w </password></result>",
                 " p&w ", 0},
             {Coded("abc", "<password>pw</password>"), "pw", 0},
             {Coded(" 7abc", "<password>pw</password>"), "", 7},
         }) {
        std::optional<int32_t> code;
        EXPECT_EQ(PasswordFromReply(reply, true, code), password) << reply;
        EXPECT_EQ(code, error) << reply;
    }
    EXPECT_EQ(trace.Count("atoi() failed!", 2), 1);
}

TEST(AccountRepliesTest, RegistrationFailuresTraceAndLeaveTheCode) {
    const std::string wrongRoot = "<reply><resultValue>0</resultValue></reply>";
    for (const auto& [reply, message, error] : {
             std::tuple<std::string, const char*, std::optional<int32_t>>{
                 "<html><body>502</html>", "markup.SetDoc() failed!", kUntouched},
             {wrongRoot, "markup.FindElem() failed! can not find \"result\" flag", kUntouched},
             {"<result><code>0</code></result>",
              "markup.FindElem() failed! can not find \"resultValue\" flag", kUntouched},
             {Coded(""), "strResultValue equal !", kUntouched},
             {"<result><password>pw</password><resultValue>0</resultValue></result>",
              "markup.FindElem() failed! can not find \"password\" flag", 0},
         }) {
        TraceCapture trace;
        std::optional<int32_t> code;
        EXPECT_EQ(PasswordFromReply(reply, true, code), "") << reply;
        const TraceRecord record = trace.Find(message);
        EXPECT_EQ(std::make_tuple(record.level, record.module, record.source),
                  std::make_tuple(2, std::string("LoginPlguin"), "src\\LoginPlugin\\LoginImpl"))
            << reply;
        EXPECT_EQ(code, error) << reply;
    }
    // A reply without its root follows its trace, unless the texts must stay out of traces.
    for (const bool bTraceReply : {true, false}) {
        TraceCapture trace;
        std::optional<int32_t> code;
        PasswordFromReply(wrongRoot, bTraceReply, code);
        EXPECT_EQ(trace.Has(wrongRoot, 2), bTraceReply);
    }
}

TEST(AccountRepliesTest, LoginTakesKeyAndSessionInThisOrder) {
    LoginResult result{"old-key", "old-session"};
    std::optional<int32_t> code;
    EXPECT_TRUE(LoginResultFromReply(
        "<result><x/><resultValue>0</resultValue><note>hi</note><encodekey>K&lt;1</encodekey>"
        "<y>2</y><sessionid> S1 </sessionid><z/></result>",
        result, code));
    EXPECT_EQ(result.strEncodeKey, "K<1");
    EXPECT_EQ(result.strSessionId, " S1 ");
    EXPECT_EQ(code, 0);
}

TEST(AccountRepliesTest, LoginFailuresTraceLeaveTheCodeAndKeepTheResult) {
    for (const auto& [reply, message, level, error] : {
             std::tuple<std::string, std::string, int, std::optional<int32_t>>{
                 "", "strResponse equal !", 4, kUntouched},
             {"<html><head><title>502</title></head><body><p>Bad", "markup.SetDoc() failed!", 2,
              -3},
             {"<reply><resultValue>0</resultValue></reply>",
              "markup.FindElem(result) failed! can not find \"result\" flag", 2, kUntouched},
             {"<result><value>0</value></result>",
              "markup.FindElem(resultValue) failed! can not find \"resultValue\" flag", 2,
              kUntouched},
             {"<result><resultValue/></result>", "strResultValue equal !", 2, kUntouched},
             {Coded("3"), "0 != m_iError! m_iError = 3", 2, 3},
             {Coded(" 7abc"), "0 != m_iError! m_iError =  7abc", 2, 7},
             {Coded("0", "<sessionid>S</sessionid><encodekey>K</encodekey>"),
              "markup.FindElem(sessionid) failed! can not find \"sessionid\" flag", 2, 0},
             {Coded("0", "<sessionid>S</sessionid>"),
              "markup.FindElem(encodekey) failed! can not find \"encodekey\" flag", 2, 0},
         }) {
        TraceCapture trace;
        LoginResult result{"old-key", "old-session"};
        std::optional<int32_t> code;
        EXPECT_FALSE(LoginResultFromReply(reply, result, code)) << reply;
        EXPECT_TRUE(trace.Has(message, level)) << reply;
        EXPECT_EQ(code, error) << reply;
        EXPECT_EQ(result.strEncodeKey + "|" + result.strSessionId, "old-key|old-session") << reply;
    }
}

// Strict mode traces nothing the server wrote: a refusal's code text may carry anything, a
// forged record included.
TEST(AccountRepliesTest, StrictRefusalTracesTheCodeReadNotTheServersText) {
    const std::string reply = Coded("3\n2026-12-07 CRIT forged record");
    for (const bool bTraceReply : {true, false}) {
        SCOPED_TRACE(bTraceReply);
        TraceCapture trace;
        LoginResult result;
        std::optional<int32_t> code;
        EXPECT_FALSE(LoginResultFromReply(reply, result, code, bTraceReply));
        EXPECT_EQ(code, 3);
        bool bServerText = false;
        for (const TraceRecord& record : trace.Records()) {
            bServerText |= record.message.find("forged") != std::string::npos;
        }
        EXPECT_EQ(bServerText, bTraceReply);
        if (!bTraceReply) {
            EXPECT_TRUE(trace.Has("0 != m_iError! m_iError = 3"));
        }
    }
}

TEST(AccountRepliesTest, RequestBodiesNameTheirFieldsAndEncodeOnlyInStrictMode) {
    const SecurityPolicy plain;
    const SecurityPolicy strict = SecurityPolicy::Strict();
    for (const auto& [policy, registration, login] : {
             std::tuple<const SecurityPolicy*, const char*, const char*>{
                 &plain, "cid=460 01&ctype=a&b", "cid=460 01&pass=p=w+&ctype=a&b"},
             {&strict, "cid=460+01&ctype=a%26b", "cid=460+01&pass=p%3Dw%2B&ctype=a%26b"},
         }) {
        EXPECT_EQ(RegistrationBody(*policy, "460 01", "a&b"), registration);
        EXPECT_EQ(LoginBody(*policy, "460 01", "p=w+", "a&b"), login);
    }
}

}  // namespace
