// The registration and login requests of the login object: their bodies, the codes they report,
// and what they trace on the way; in strict mode, encoded and kept out of the trace.
#include <algorithm>

#include "FormHeaders.h"
#include "WorkerFixture.h"

namespace {

using RequestsTest = WorkerTest;

TEST_F(RequestsTest, RegistrationPostsIdentityAndSimTypeAndStoresThePassword) {
    https.Script().Replies(200, Registered("pw-1"));
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460&x=1", "CM NET").text, "pw-1");
    const auto sends = https.Calls("Send");
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].text1, kFormHeaders);
    EXPECT_EQ(sends[0].text2, "cid=460&x=1&ctype=CM NET");
    EXPECT_EQ(https.Calls("OpenRequest")[0].text2, "/register");
    EXPECT_EQ(https.Calls("OpenRequest")[0].number, 0x00800000u);  // secure
    EXPECT_EQ(login.ReadPwd(login.GetKeyFile()), "pw-1");
}

TEST_F(RequestsTest, RegistrationWithoutInputsOrAnswerGivesNoPassword) {
    EXPECT_EQ(login.DoRegister("", "460", "CM").text, "");
    EXPECT_TRUE(trace.Has("strURL equal !", 3));
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "", "CM").text, "");
    EXPECT_TRUE(trace.Has("strIMSI equal !", 3));
    EXPECT_EQ(https.ClientsMade(), 0);

    https.Script().SendFails(12029).Replies(200, "<result><resultValue>4</resultValue></result>");
    StepOutcome registered = login.DoRegister(kRegisterUrl, "460", "CM");
    EXPECT_EQ(registered.text, "");
    EXPECT_TRUE(trace.Has("PostToServer() failed!", 2));
    EXPECT_EQ(registered.code, 12029);
    registered = login.DoRegister(kRegisterUrl, "460", "CM");
    EXPECT_EQ(registered.text, "");
    EXPECT_TRUE(trace.Has("strPwd equal !", 3));
    EXPECT_EQ(registered.code, 4);
    EXPECT_EQ(login.GetErrorCode(), 0);  // the sequence keeps the code, not the step
}

// The identity comes from the SIM; an unreadable reply traces the body, password included.
TEST_F(RequestsTest, LoginPostsTheFormAndKeepsTheResult) {
    https.Script().Replies(200, Accepted("SID")).Replies(200, "<result><other/></result>");
    ASSERT_TRUE(login.DoLoginServer(kLoginUrl, "p&ss=1", "CM").bOk);
    EXPECT_EQ(https.Calls("Send")[0].text1, kFormHeaders);
    EXPECT_EQ(https.Calls("Send")[0].text2, "cid=460001234567890&pass=p&ss=1&ctype=CM");
    EXPECT_EQ(login.GetLoginResult().strEncodeKey, "EK");
    EXPECT_EQ(login.GetLoginResult().strSessionId, "SID");

    const StepOutcome refused = login.DoLoginServer(kLoginUrl, "secret", "CM");
    EXPECT_FALSE(refused.bOk);
    const auto records = trace.Records();
    auto it = std::find_if(records.begin(), records.end(), [](const TraceRecord& r) {
        return r.message == "ParseLoginResult() failed!";
    });
    ASSERT_TRUE(it != records.end() && it + 1 != records.end());
    EXPECT_EQ((it + 1)->level, 2);
    EXPECT_EQ((it + 1)->message, "cid=460001234567890&pass=secret&ctype=CM");
    EXPECT_EQ(refused.code, 0);  // the exchange went well; nothing refused
}

TEST_F(RequestsTest, StrictFormValuesAreEncodedAndBodiesAndRepliesStayOutOfTheTrace) {
    host.setting.Sys("SECURITY", "STRICT", "1");
    login.ReadSecurityPolicy();
    ASSERT_TRUE(login.Policy().IsStrict());
    const std::string password = "p&ss=w rd%+";
    https.Script()
        .Replies(200, "<reply><password>" + password + "</password></reply>")
        .Replies(200, "<result><other/></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460&x", "\xD2\xC6 NET~").text, "");
    EXPECT_FALSE(login.DoLoginServer(kLoginUrl, password, "CM").bOk);
    const auto sends = https.Calls("Send");
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].text2, "cid=460%26x&ctype=%D2%C6+NET%7E");  // GBK bytes too
    EXPECT_EQ(sends[1].text2, "cid=460001234567890&pass=p%26ss%3Dw+rd%25%2B&ctype=CM");
    EXPECT_TRUE(trace.Has("markup.FindElem() failed! can not find \"result\" flag", 2));
    EXPECT_TRUE(trace.Has("ParseLoginResult() failed!", 2));
    for (const char* secret : {"p&ss", "p%26ss", "cid="}) {
        for (const TraceRecord& r : trace.Records()) {
            EXPECT_EQ(r.message.find(secret), std::string::npos) << r.message;
        }
    }
}

}  // namespace
