// The result objects as a host gets them: numbers 2 (the password) and 3 (encode key and session
// id) of the plug-in object, after logins whose values all differ. Each is a copy taken when it
// is handed out, independent of later logins, destroyed by its Release with the enter and leave
// traces. (The refusals before a login are PluginObjectTest's.)
#include "ILoginResponse.h"
#include "LoginPluginImpl.h"
#include "WorkerFixture.h"

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

class ResponseObjectsTest : public WorkerTest {
protected:
    void SetUp() override {
        SetLoginEnvironmentForTest({nullptr, https.Factory()});
        plugin->SetPluginContainer(&host.container);
    }
    void TearDown() override {
        plugin->Release();
        SetLoginEnvironmentForTest(LoginEnvironment{});
    }
    // One login sequence of the plug-in's login object, run on this thread.
    bool LogIn() {
        IBaseInterface* pLogin = nullptr;
        if (!plugin->QueryInterface(1, &pLogin)) return false;
        auto* login = dynamic_cast<CLoginImpl*>(pLogin);
        return login && login->DoLoginThread();
    }
    template <typename T>
    T* Query(int32_t number) {
        IBaseInterface* out = nullptr;
        if (!plugin->QueryInterface(number, &out)) return nullptr;
        T* typed = dynamic_cast<T*>(out);
        EXPECT_NE(typed, nullptr) << number;
        return typed;
    }

    CLoginPluginImpl* plugin = new CLoginPluginImpl();
};

TEST_F(ResponseObjectsTest, ObjectsAreCopiesThatOutliveALaterLoginAndReleaseWithTraces) {
    https.Script()
        .Replies(200, Registered("password-1"))
        .Replies(200, Accepted("session-1", "encode-key-1"))
        .Replies(200, Accepted("session-2", "encode-key-2"));
    ASSERT_TRUE(LogIn());
    ILoginResponse* earlier = Query<ILoginResponse>(3);
    ILoginResponse* twin = Query<ILoginResponse>(3);
    ASSERT_NE(earlier, nullptr);
    ASSERT_NE(twin, nullptr);
    EXPECT_NE(earlier, twin);
    ASSERT_TRUE(LogIn());
    ILoginResponse* later = Query<ILoginResponse>(3);
    ASSERT_NE(later, nullptr);

    trace.Clear();
    twin->Release();
    EXPECT_EQ(earlier->GetEncodeKey() + "|" + earlier->GetSessionID(), "encode-key-1|session-1");
    EXPECT_EQ(earlier->GetErrorCode(), 0);
    EXPECT_EQ(later->GetEncodeKey() + "|" + later->GetSessionID(), "encode-key-2|session-2");
    earlier->Release();
    const std::vector<std::string> once = {"Enter Release()!", "Enter ~CLoginResponseImpl()!",
                                           "Leave ~CLoginResponseImpl()!", "Leave Release()!"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(Messages(trace, "src\\LoginPlugin\\LoginResponseImpl"), twice);
    later->Release();

    IRegResponse* password = Query<IRegResponse>(2);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->GetPassword(), "password-1");
    EXPECT_EQ(password->GetErrorCode(), 0);
    password->Release();
    EXPECT_EQ(Messages(trace, "src\\LoginPlugin\\RegResponseImpl"),
              (std::vector<std::string>{"Enter CRegResponseImpl()!", "Leave CRegResponseImpl()!",
                                        "Enter Release()!", "Enter ~CRegResponseImpl()!",
                                        "Leave ~CRegResponseImpl()!", "Leave Release()!"}));
}

}  // namespace
