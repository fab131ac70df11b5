// The registration and login requests: their bodies, and what they trace on the way.
#include <algorithm>

#include "ExchangeFixture.h"

namespace {

const char kRegisterUrl[] = "https://acct.example.com/register";
const char kLoginUrl[] = "https://acct.example.com/login";

using RequestsTest = ExchangeTest;

TEST_F(RequestsTest, RegistrationPostsIdentityAndSimTypeAndGivesThePasswordUnstored) {
    https.Script().Replies(
        200, "<result><resultValue>0</resultValue><password>pw-1</password></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460&x=1", "CM NET"), "pw-1");
    const auto sends = https.Calls("Send");
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].text1, kFormHeaders);
    EXPECT_EQ(sends[0].text2, "cid=460&x=1&ctype=CM NET");
    EXPECT_EQ(https.Calls("OpenRequest")[0].text2, "/register");
    EXPECT_EQ(https.Calls("OpenRequest")[0].number, kSecureFlag);
    EXPECT_TRUE(trace.Has("strKeyFile equal !", 3));  // no key file here
}

TEST_F(RequestsTest, RegistrationWithoutInputsOrAnswerGivesNoPassword) {
    EXPECT_EQ(login.DoRegister("", "460", "CM"), "");
    EXPECT_TRUE(trace.Has("strURL equal !", 3));
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "", "CM"), "");
    EXPECT_TRUE(trace.Has("strIMSI equal !", 3));
    EXPECT_EQ(https.ClientsMade(), 0);

    https.Script().SendFails(12029).Replies(200, "<result><resultValue>4</resultValue></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460", "CM"), "");
    EXPECT_TRUE(trace.Has("PostToServer() failed!", 2));
    EXPECT_EQ(login.GetErrorCode(), 12029);
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460", "CM"), "");
    EXPECT_TRUE(trace.Has("strPwd equal !", 3));
    EXPECT_EQ(login.GetErrorCode(), 4);
}

// The identity comes from the SIM; an unreadable reply traces the body, password included.
TEST_F(RequestsTest, LoginPostsTheFormAndKeepsTheResult) {
    host.comm.SetImsi("460001234567890");
    https.Script()
        .Replies(200,
                 "<result><resultValue>0</resultValue><encodekey>EK</encodekey>"
                 "<sessionid>SID</sessionid></result>")
        .Replies(200, "<result><other/></result>");
    ASSERT_TRUE(login.DoLoginServer(kLoginUrl, "p&ss=1", "CM"));
    EXPECT_EQ(https.Calls("Send")[0].text1, kFormHeaders);
    EXPECT_EQ(https.Calls("Send")[0].text2, "cid=460001234567890&pass=p&ss=1&ctype=CM");
    EXPECT_EQ(login.GetLoginResult().strEncodeKey, "EK");
    EXPECT_EQ(login.GetLoginResult().strSessionId, "SID");

    EXPECT_FALSE(login.DoLoginServer(kLoginUrl, "secret", "CM"));
    const auto records = trace.Records();
    auto it = std::find_if(records.begin(), records.end(), [](const TraceRecord& r) {
        return r.message == "ParseLoginResult() failed!";
    });
    ASSERT_TRUE(it != records.end() && it + 1 != records.end());
    EXPECT_EQ((it + 1)->level, 2);
    EXPECT_EQ((it + 1)->message, "cid=460001234567890&pass=secret&ctype=CM");
    EXPECT_EQ(login.GetErrorCode(), 0);  // the exchange went well; nothing refused
}

}  // namespace
