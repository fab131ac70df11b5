// The registration and login requests: their bodies, what they take from the replies, and
// their traces.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "ExchangeFixture.h"
#include "TestEnv.h"

namespace {

const char kRegisterUrl[] = "https://acct.example.com/register";
const char kLoginUrl[] = "https://acct.example.com/login";

using RegisterRequestTest = ExchangeTest;

TEST_F(RegisterRequestTest, RegistrationPostsIdentityAndSimTypeAndReturnsThePassword) {
    https.Script().Replies(
        200, "<result><resultValue>0</resultValue><password>pw-1</password></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460&x=1", "CM NET"), "pw-1");
    const auto sends = https.Calls("Send");
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].text1, kHeaders);
    EXPECT_EQ(sends[0].text2, "cid=460&x=1&ctype=CM NET");
    EXPECT_EQ(https.Calls("OpenRequest")[0].text2, "/register");
    EXPECT_EQ(https.Calls("OpenRequest")[0].number, kSecureFlag);
}

TEST_F(RegisterRequestTest, MissingInputsEndBeforeAnyExchange) {
    EXPECT_EQ(login.DoRegister("", "460", "CM"), "");
    EXPECT_TRUE(trace.Has("strURL equal !", 3));
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "", "CM"), "");
    EXPECT_TRUE(trace.Has("strIMSI equal !", 3));
    EXPECT_EQ(https.ClientsMade(), 0);
}

TEST_F(RegisterRequestTest, FailedPostOrRefusalGivesNoPassword) {
    https.Script().SendFails(12029);
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460", "CM"), "");
    EXPECT_TRUE(trace.Has("PostToServer() failed!", 2));
    EXPECT_EQ(login.GetErrorCode(), 12029);

    https.Script().Replies(200, "<result><resultValue>4</resultValue></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460", "CM"), "");
    EXPECT_TRUE(trace.Has("strPwd equal !", 3));
    EXPECT_EQ(login.GetErrorCode(), 4);
}

// The key file's operations need a real file behind "CURRENT_USER_PRIVATE_DIR"/"PATH".
class KeyFileRegisterTest : public RegisterRequestTest {
protected:
    void SetUp() override {
        dir = MakeTempDir("exchange-test");
        host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir + "/");
        login.CreateKeyFile();  // as the constructor does when the setting is there
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(KeyFileRegisterTest, RegisteredPasswordIsStoredInTheKeyFile) {
    https.Script().Replies(
        200, "<result><resultValue>0</resultValue><password>pw-2</password></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460", "CM"), "pw-2");
    EXPECT_EQ(login.ReadPwd(login.GetKeyFile()), "pw-2");
    EXPECT_EQ(login.GetKeyFile(), dir + "/Key.dtc");
}

TEST_F(RegisterRequestTest, PasswordIsReturnedEvenWhenItCannotBeStored) {
    // No "CURRENT_USER_PRIVATE_DIR" setting: no key file.
    https.Script().Replies(
        200, "<result><resultValue>0</resultValue><password>pw-3</password></result>");
    EXPECT_EQ(login.DoRegister(kRegisterUrl, "460", "CM"), "pw-3");
    EXPECT_TRUE(trace.Has("strKeyFile equal !", 3));
}

// DoLoginServer takes the identity from the SIM (the fake card answers 460001234567890).
class LoginRequestTest : public ExchangeTest {
protected:
    void SetUp() override { host.comm.SetImsi("460001234567890"); }
};

TEST_F(LoginRequestTest, AcceptedLoginPostsTheFormAndKeepsTheResult) {
    https.Script().Replies(200,
                           "<result><resultValue>0</resultValue><encodekey>EK</encodekey>"
                           "<sessionid>SID</sessionid></result>");
    ASSERT_TRUE(login.DoLoginServer(kLoginUrl, "p&ss=1", "CM"));
    EXPECT_EQ(https.Calls("Send")[0].text2, "cid=460001234567890&pass=p&ss=1&ctype=CM");
    EXPECT_EQ(https.Calls("Send")[0].text1, kHeaders);
    const LoginResult result = login.GetLoginResult();
    EXPECT_EQ(result.strEncodeKey, "EK");
    EXPECT_EQ(result.strSessionId, "SID");
    EXPECT_EQ(login.GetErrorCode(), 0);
}

TEST_F(LoginRequestTest, UnreadableReplyTracesTheRequestBodyPasswordIncluded) {
    https.Script().Replies(200, "<result><other/></result>");
    EXPECT_FALSE(login.DoLoginServer(kLoginUrl, "secret", "CM"));
    const auto records = trace.Records();
    auto it = std::find_if(records.begin(), records.end(), [](const TraceRecord& r) {
        return r.message == "ParseLoginResult() failed!";
    });
    ASSERT_NE(it, records.end());
    ASSERT_NE(it + 1, records.end());
    EXPECT_EQ((it + 1)->level, 2);
    EXPECT_EQ((it + 1)->message, "cid=460001234567890&pass=secret&ctype=CM");
    EXPECT_EQ(login.GetErrorCode(), 0);  // the exchange went well; nothing refused
}

TEST_F(LoginRequestTest, RefusalKeepsTheServersCodeAndTheEarlierResult) {
    https.Script()
        .Replies(200,
                 "<result><resultValue>0</resultValue><encodekey>EK</encodekey>"
                 "<sessionid>SID</sessionid></result>")
        .Replies(200, "<result><resultValue>3</resultValue></result>");
    ASSERT_TRUE(login.DoLoginServer(kLoginUrl, "pw", "CM"));
    EXPECT_FALSE(login.DoLoginServer(kLoginUrl, "pw", "CM"));
    EXPECT_EQ(login.GetErrorCode(), 3);
    EXPECT_EQ(login.GetLoginResult().strSessionId, "SID");
}

}  // namespace
