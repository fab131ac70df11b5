// The result objects handed to the host: copies taken at the moment they are made, independent
// of each other and of later logins, destroyed by their Release with the enter and leave traces.
#include <gtest/gtest.h>

#include <filesystem>

#include "FakeHost.h"
#include "FakeHttps.h"
#include "LoginImpl.h"
#include "LoginResponseImpl.h"
#include "RegResponseImpl.h"
#include "TestEnv.h"
#include "libs/trace/TraceCapture.h"

namespace {

std::vector<std::string> Messages(const TraceCapture& trace, const std::string& source) {
    std::vector<std::string> messages;
    for (const TraceRecord& r : trace.Records()) {
        if (r.source == source) {
            EXPECT_EQ(r.level, 4) << r.message;
            EXPECT_EQ(r.module, "LoginPlguin") << r.message;
            messages.push_back(r.message);
        }
    }
    return messages;
}

TEST(ResponseObjectsTest, TwoObjectsAreIndependentAndReleaseTracesEnterAndLeave) {
    auto* first = new CLoginResponseImpl("key", "session");
    auto* second = new CLoginResponseImpl("key", "session");
    TraceCapture trace;
    first->Release();
    EXPECT_EQ(second->GetEncodeKey(), "key");
    EXPECT_EQ(second->GetSessionID(), "session");
    EXPECT_EQ(second->GetErrorCode(), 0);
    second->Release();
    const std::vector<std::string> once = {"Enter Release()!", "Enter ~CLoginResponseImpl()!",
                                           "Leave ~CLoginResponseImpl()!", "Leave Release()!"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(Messages(trace, "src\\LoginPlugin\\LoginResponseImpl"), twice);
}

TEST(ResponseObjectsTest, RegistrationObjectHoldsThePasswordAndTracesLikewise) {
    TraceCapture trace;
    auto* response = new CRegResponseImpl("pw");
    EXPECT_EQ(response->GetPassword(), "pw");
    EXPECT_EQ(response->GetErrorCode(), 0);
    response->Release();
    EXPECT_EQ(Messages(trace, "src\\LoginPlugin\\RegResponseImpl"),
              (std::vector<std::string>{"Enter CRegResponseImpl()!", "Leave CRegResponseImpl()!",
                                        "Enter Release()!", "Enter ~CRegResponseImpl()!",
                                        "Leave ~CRegResponseImpl()!", "Leave Release()!"}));
}

// Objects are made from the login object's values as the plug-in object makes them.
TEST(ResponseObjectsTest, ObjectMadeEarlierKeepsItsSessionAfterANewLogin) {
    const std::string dir = MakeTempDir("responses-test");
    FakeHost host;
    host.comm.SetSpn("CMCC");
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", dir + "/");
    host.setting.Sys("LOGIN", "URL", "https://acct.example.com/login");
    host.setting.Sys("REGISTER", "URL", "https://acct.example.com/register");
    FakeHttps https;
    https.Script()
        .Replies(200, "<result><resultValue>0</resultValue><password>pw1</password></result>")
        .Replies(200,
                 "<result><resultValue>0</resultValue><encodekey>K1</encodekey>"
                 "<sessionid>S1</sessionid></result>")
        .Replies(200,
                 "<result><resultValue>0</resultValue><encodekey>K2</encodekey>"
                 "<sessionid>S2</sessionid></result>");
    {
        LoginEnvironment env;
        env.httpClient = https.Factory();
        CLoginImpl login(&host.container, env);
        login.CreateKeyFile();
        ASSERT_TRUE(login.DoLoginThread());
        const LoginResult first = login.GetLoginResult();
        auto* earlier = new CLoginResponseImpl(first.strEncodeKey, first.strSessionId);
        auto* password = new CRegResponseImpl(login.GetPassword());

        ASSERT_TRUE(login.DoLoginThread());
        const LoginResult second = login.GetLoginResult();
        auto* later = new CLoginResponseImpl(second.strEncodeKey, second.strSessionId);

        EXPECT_EQ(earlier->GetSessionID(), "S1");
        EXPECT_EQ(earlier->GetEncodeKey(), "K1");
        EXPECT_EQ(later->GetSessionID(), "S2");
        EXPECT_EQ(later->GetEncodeKey(), "K2");
        EXPECT_EQ(password->GetPassword(), "pw1");
        earlier->Release();
        later->Release();
        password->Release();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
