// One post of the account exchange over the scripted HTTPS layer: the calls and their bytes, the
// certificate retry, the proxy's 407, the errors and the codes they report, the reply buffer and
// the stop request. (A send in progress ended
// by the stop request: WorkerStopTest.)
#include <functional>

#include "ExchangeFixture.h"

namespace {

using PostToServerTest = ExchangeTest;

TEST_F(PostToServerTest, OneRequestIsTheseCallsWithTheseBytes) {
    https.Script().Replies(200, "<result/>");
    const StepOutcome posted =
        subject.exchange.Post(kUrl, kFormHeaders, "cid=460&pass=p w&ctype=CM", "", "", true, reply);
    ASSERT_TRUE(posted.bOk);
    EXPECT_EQ(https.Ops(), std::string(kOpens) + "Send " + kReads + kCloses);
    const auto calls = https.Calls();
    EXPECT_EQ(calls[0].text1, "Velko Agent");
    EXPECT_EQ(calls[0].number, 1u);  // direct
    for (int i : {1, 2, 3}) EXPECT_EQ(calls[i].handle, calls[i - 1].made) << "on the handle given";
    EXPECT_EQ(calls[1].text1, "acct.example.com");
    EXPECT_EQ(calls[1].number, 8443u);
    EXPECT_EQ(calls[2].text1, "POST");
    EXPECT_EQ(calls[2].text2, "/svc/login?v=1");
    EXPECT_EQ(calls[2].number, kSecureFlag);
    EXPECT_EQ(calls[3].text1, kFormHeaders);
    EXPECT_EQ(calls[3].text2, "cid=460&pass=p w&ctype=CM");  // nothing escaped
    EXPECT_EQ(calls[6].number, 9u);  // the read asks for the announced length
    EXPECT_EQ(reply.nStatus, 200);
    EXPECT_EQ(reply.strText, "<result/>");
    EXPECT_EQ(posted.code, 0);
}

TEST_F(PostToServerTest, OnlyAddressAndPortTogetherOpenThroughTheProxy) {
    Post(kUrl, "proxy.local", "3128");
    Post(kUrl, "proxy.local", "");
    Post(kUrl, "", "3128");
    const auto opens = https.Calls("Open");
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[0].number, 3u);
    EXPECT_EQ(opens[0].text2, "proxy.local:3128");
    for (int i : {1, 2}) EXPECT_EQ(opens[i].text2 + std::to_string(opens[i].number), "1") << i;
}

TEST_F(PostToServerTest, UnparsableOrPlainUrlsFailBeforeAnyConnection) {
    EXPECT_EQ(Post("no url at all").code, -1);
    EXPECT_TRUE(trace.Has(" AfxParseURL() failed!", 2));
    EXPECT_EQ(Post("http://acct.example.com/login").code, -2);
    EXPECT_TRUE(trace.Has(" AFX_INET_SERVICE_HTTPS != dwServiceType!", 2));
    EXPECT_EQ(trace.Count("PostToServer() throw CVELKOException!", 1), 2);
    EXPECT_EQ(https.ClientsMade(), 0);

    // Unless plain HTTP is allowed: then the request is not flagged secure.
    EXPECT_TRUE(Post("http://acct.example.com/login", "", "", false).bOk);
    EXPECT_EQ(https.Calls("Connect")[0].number, 80u);
    EXPECT_EQ(https.Calls("OpenRequest")[0].number, 0u);
}

// Each way an exchange can go: the calls it makes (closing whatever it opened), the text or
// the code it leaves, and its trace; in strict mode too, where a certificate error is final.
TEST_F(PostToServerTest, EachOutcomeHasItsCallsCodeAndTrace) {
    using S = FakeHttps::ScriptBuilder;
    struct Case {
        std::string name;
        std::function<void(S)> script;
        bool bProxied;
        const char* text;  // nullptr: the exchange fails
        int error;
        std::string trace;  // empty: not checked
        std::string ops;
        bool bStrict = false;
        bool bNoUser = false;  // the host has no proxy user
    };
    const std::string opens = kOpens, retry = "Send SetOption(31) ",
                      lengthRead = "QueryInfo(length) Read ";
    const std::string auth = "Send QueryInfo(status) SetOption(43) SetOption(44) ";
    std::vector<Case> cases = {
        {"retry fails", [](S s) { s.SendFails(12038).SendFails(12029); }, false, nullptr, 12029,
         "HttpSendRequest() failed!", opens + retry + "Send " + kCloses},
        {"relaxing fails", [](S s) { s.SendFails(12045).SetOptionFails(31, 12018); }, false,
         nullptr, 12018, "InternetSetOption() failed!", opens + retry + kCloses},
        {"other send error", [](S s) { s.SendFails(12029); }, false, nullptr, 12029,
         "HttpSendRequest() return other error code : 12029", opens + "Send " + kCloses},
        {"open fails", [](S s) { s.OpenFails(12004); }, false, nullptr, 12004,
         "InternetOpen() failed!", "Open"},
        {"connect fails", [](S s) { s.ConnectFails(12004); }, false, nullptr, 12004,
         "InternetConnect() failed!", "Open Connect Close(internet)"},
        {"request fails", [](S s) { s.OpenRequestFails(12004); }, false, nullptr, 12004,
         "HttpOpenRequest() failed!", "Open Connect OpenRequest Close(connection) Close(internet)"},
        {"status fails", [](S s) { s.StatusQueryFails(12004); }, false, nullptr, 12004,
         "HttpQueryInfo() failed!", opens + "Send QueryInfo(status) " + kCloses},
        {"read fails", [](S s) { s.ReadFails(12004); }, false, nullptr, 12004,
         "InternetReadFile() failed!", opens + "Send " + kReads + kCloses},
        // Through the proxy: one more send with the credentials, whose answer is read unless
        // the proxy asks again; at most four sends when both legs meet a certificate error.
        {"407", [](S s) { s.Replies(407, "").Replies(200, "ok"); }, true, "ok", 0, "",
         opens + auth + "Send QueryInfo(status) " + lengthRead + kCloses},
        {"credentials refused", [](S s) { s.Replies(407, "").Replies(407, "no"); }, true, nullptr,
         5, "the proxy refused the credentials!",
         opens + auth + "Send QueryInfo(status) " + kCloses},
        {"tunnel refused", [](S s) { s.SendFails(12033); }, true, nullptr, 12033,
         "the proxy refused the tunnel!", opens + "Send " + kCloses},
        {"no user stored", [](S s) { s.Replies(407, ""); }, true, nullptr, 5,
         "GetAccountInfo() failed!", opens + "Send QueryInfo(status) " + kCloses, false, true},
        {"four sends",
         [](S s) { s.SendFails(12038).Replies(407, "").SendFails(12045).Replies(200, "ok"); }, true,
         "ok", 0, "",
         opens + retry + auth + retry + "Send QueryInfo(status) " + lengthRead + kCloses},
        {"407 then other error", [](S s) { s.Replies(407, "").SendFails(12030); }, true, nullptr,
         12030, "HttpSendRequest() return other error code!", opens + auth + "Send " + kCloses},
        {"user not set", [](S s) { s.Replies(407, "").SetOptionFails(43, 1); }, true, nullptr, 5,
         "GetAccountInfo() failed!", opens + "Send QueryInfo(status) SetOption(43) " + kCloses},
        {"password not set", [](S s) { s.Replies(407, "").SetOptionFails(44, 1); }, true, nullptr,
         5, "GetAccountInfo() failed!", opens + auth + kCloses},
    };
    host.setting.User("PROXY", "USER", "alice");  // sent as stored, the password deciphered
    host.setting.User("PROXY", "PASSWORD", host.crypt.Encrypt("s3cret"));
    for (uint32_t code : {12037u, 12038u, 12045u, 12169u, 12179u}) {  // retried once, relaxed
        cases.push_back({std::to_string(code), [code](S s) { s.SendFails(code); }, false, "", 0, "",
                         opens + retry + "Send " + kReads + kCloses});
        const std::string refused = "HttpSendRequest() certificate refused : " + cases.back().name;
        cases.push_back({"strict " + cases.back().name, [code](S s) { s.SendFails(code); }, false,
                         nullptr, static_cast<int>(code), refused, opens + "Send " + kCloses,
                         true});
        cases.push_back({"strict proxied " + std::to_string(code),
                         [code](S s) { s.Replies(407, "").SendFails(code); }, true, nullptr,
                         static_cast<int>(code), refused, opens + auth + "Send " + kCloses, true});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeUnderTest other(host, c.bStrict ? SecurityPolicy::Strict() : SecurityPolicy());
        FakeHttps& fresh = other.https;
        c.script(fresh.Script());
        host.setting.User("PROXY", "USER", c.bNoUser ? "" : "alice");
        trace.Clear();
        ServerReply out;
        const StepOutcome posted =
            other.Post(out, kUrl, c.bProxied ? "proxy.local" : "", c.bProxied ? "3128" : "");
        EXPECT_EQ(posted.bOk, c.text != nullptr);
        EXPECT_EQ(out.strText, c.text ? c.text : "");
        EXPECT_EQ(posted.code, c.error);
        if (!c.trace.empty()) {
            EXPECT_TRUE(trace.Has(c.trace, 2));
        }
        EXPECT_EQ(fresh.Ops(), c.ops);
        EXPECT_TRUE(fresh.AllHandlesClosed());
        for (const HttpCall& send : fresh.Calls("Send")) {  // a retry sends the same bytes
            EXPECT_EQ(send.text1 + send.text2, std::string(kFormHeaders) + "cid=1");
        }
        for (const HttpCall& option : fresh.Calls("SetOption")) {
            if (option.number == 31) {
                EXPECT_EQ(option.value, 0x3380u);
            } else if (option.number == 43) {
                EXPECT_EQ(option.text1, "alice");
            } else if (option.number == 44) {
                EXPECT_EQ(option.text1, "s3cret");
            }
        }
        if (c.text && c.bProxied) {
            EXPECT_EQ(out.nStatus, 407);  // the first answer's status
        }
    }
}

TEST_F(PostToServerTest, StopRequestBeforeTheExchangeOrItsRetryEndsIt) {
    subject.stopping = true;
    EXPECT_EQ(Post().code, 12017);
    EXPECT_EQ(https.ClientsMade(), 0);

    ExchangeUnderTest other(host);
    other.https.Script().SendFails(12038);
    other.https.OnCall("SetOption", [&other] { other.exchange.Cancel(); });
    EXPECT_EQ(other.Post(reply).code, 12017);
    EXPECT_EQ(other.https.Ops(), std::string(kOpens) + "Send SetOption(31) " + kCloses);
}

TEST_F(PostToServerTest, AnnouncedLengthOrElseTenKilobytesSizeTheRead) {
    struct Case {
        std::optional<uint32_t> length;
        std::string body;
        uint32_t asked;
        std::string text;
    };
    const Case cases[] = {
        {std::nullopt, std::string(15000, 'x'), 10240, std::string(10240, 'x')},
        {0, "short", 10240, "short"},  // a length of 0 counts as none
        {20000, std::string(20000, 'y'), 20000, std::string(20000, 'y')},
        {100, "abc", 100, "abc"},  // fewer bytes than announced: not the zero-filled rest
        {5, std::string("ab\0cd", 5), 5, "ab"},  // the text ends at the first zero byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.size());
        https.Script().Reply(FakeReply{500, c.length, c.body});
        ASSERT_TRUE(Post().bOk);
        EXPECT_EQ(https.Calls("Read").back().number, c.asked);
        EXPECT_EQ(reply.strText, c.text);
        EXPECT_EQ(reply.nStatus, 500);  // any status is handed on
    }
}

// A claimed length is taken a step at a time, so only what arrives is kept; one past the bound
// is refused unread.
TEST_F(PostToServerTest, ClaimedLengthIsReadInStepsUpToTheBound) {
    struct Case {
        uint32_t length;
        int error;
        std::string body;
        std::vector<uint32_t> asked;  // the size of each read
    };
    const Case cases[] = {
        {4000000000u, 12152, "<result/>", {}},
        {kMaxHttpReplyBytes + 1, 12152, "<result/>", {}},
        {1000000, 0, "<result/>", {65536}},
        {140000, 0, std::string(140000, 'z'), {65536, 65536, 8928}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        ExchangeUnderTest other(host);
        FakeHttps& fresh = other.https;
        fresh.Script().Reply(FakeReply{200, c.length, c.body});
        trace.Clear();
        const StepOutcome posted = other.Post(reply);
        EXPECT_EQ(posted.bOk, c.error == 0);
        EXPECT_EQ(posted.code, c.error);
        std::vector<uint32_t> asked;
        for (const HttpCall& read : fresh.Calls("Read")) asked.push_back(read.number);
        EXPECT_EQ(asked, c.asked);
        if (c.error == 0) {
            EXPECT_EQ(reply.strText, c.body);
        } else {
            EXPECT_TRUE(trace.Has("InternetReadFile() failed!", 2));
        }
        EXPECT_TRUE(fresh.AllHandlesClosed());
    }
}

}  // namespace
