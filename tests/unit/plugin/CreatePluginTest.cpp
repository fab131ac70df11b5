// The process-wide plug-in object. This file is the only one in its program that calls
// CreatePlugin: the singleton outlives each test case that makes it.
#include <gtest/gtest.h>

#include <memory>

#include "FakeHost.h"
#include "FakeHttps.h"
#include "ILogin.h"
#include "LoginImpl.h"
#include "LoginPluginImpl.h"
#include "ManualClock.h"
#include "TempDir.h"

namespace {

TEST(CreatePlugin, RetriesAfterAFailedCreationThenAlwaysAnswersTheSameObject) {
    SetCreatePluginFailuresForTest(2);
    EXPECT_EQ(CreatePlugin(), nullptr);
    EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
    EXPECT_EQ(CreatePlugin(), nullptr);

    IBasePlugin* first = CreatePlugin();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreatePlugin(), first);
    EXPECT_EQ(CLoginPluginImpl::Singleton(), first);
    first->Release();
    EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
}

// A host that releases the plug-in and asks for it again gets a new one that works as the first
// did (under AddressSanitizer a stale singleton is a use after free on the first call).
TEST(CreatePlugin, ASecondLifeAfterReleaseLogsInAgain) {
    TempDir keys;
    FakeHost host;
    host.comm.SetImsi("460001234567890");
    host.comm.SetSpn("CMCC");
    host.setting.Sys("CURRENT_USER_PRIVATE_DIR", "PATH", keys.WithSeparator());
    host.setting.Sys("REGISTER", "URL", "https://acct.example.com/register");
    host.setting.Sys("LOGIN", "URL", "https://acct.example.com/login");
    FakeHttps https;
    https.Script()
        .Replies(200, "<result><resultValue>0</resultValue><password>pw</password></result>")
        .Replies(200,
                 "<result><resultValue>0</resultValue><encodekey>EK</encodekey><sessionid>S1</"
                 "sessionid></result>")
        .Replies(200,
                 "<result><resultValue>0</resultValue><encodekey>EK</encodekey><sessionid>S2</"
                 "sessionid></result>");

    for (const char* sessionId : {"S1", "S2"}) {
        SCOPED_TRACE(sessionId);
        auto clock = std::make_shared<ManualClock>();
        LoginEnvironment env;
        env.clock = clock;
        env.httpClient = https.Factory();
        SetLoginEnvironmentForTest(env);

        IBasePlugin* plugin = CreatePlugin();
        ASSERT_NE(plugin, nullptr);
        plugin->SetPluginContainer(&host.container);
        ASSERT_TRUE(plugin->Initialize());
        IBaseInterface* pInterface = nullptr;
        ASSERT_TRUE(plugin->QueryInterface(1, &pInterface));
        auto* login = static_cast<ILogin2*>(pInterface);
        ASSERT_TRUE(login->StartLogin());
        ASSERT_TRUE(clock->WaitForSleep(0));
        ASSERT_TRUE(clock->Step(1000));
        EXPECT_TRUE(login->IsLoginSuccess());
        EXPECT_EQ(static_cast<CLoginImpl*>(login)->GetLoginResult().strSessionId, sessionId);

        static_cast<CLoginPluginImpl*>(plugin)->OnDestroy();
        plugin->Release();
        EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
    }
    // The second life found the password the first one stored: one registration in all.
    EXPECT_EQ(https.Count("Send"), 3);
    SetLoginEnvironmentForTest(LoginEnvironment());
}

}  // namespace
