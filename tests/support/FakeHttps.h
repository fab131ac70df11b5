// A scripted HTTPS layer for unit tests: it plays back what the server (or the layer underneath)
// answers and records every call the engine makes, so that a test reads like the exchange.
// Every client the factory makes shares one script and one record. Answers not scripted succeed.
// Like WinINet under Wine, the fake does not refuse calls after a cancel: the engine has to stop
// by itself; only a send held by HoldSends() ends on the cancel (with 12017).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/https.h"

// One call as the engine made it.
struct HttpCall {
    std::string op;  // Open, Connect, OpenRequest, Send, SetOption, QueryInfo, Read, Close
    HttpHandle::Value handle = 0;  // the handle it was made on (0 for Open)
    HttpHandle::Value made = 0;    // the handle it gave (Open, Connect, OpenRequest)
    std::string text1;    // Open: agent; Connect: server; OpenRequest: verb; Send: headers;
                          // SetOption: the text value
    std::string text2;    // Open: proxy; OpenRequest: object; Send: body
    uint32_t number = 0;  // Open: access type; Connect: port; OpenRequest: flags; SetOption:
                          // option; QueryInfo: level; Read: size
    uint32_t value = 0;   // SetOption with a number: the value
    bool ok = true;       // what the fake answered
};

// What one send receives.
struct FakeReply {
    uint32_t status = 200;
    std::optional<uint32_t> contentLength;  // none: the reply has no length header
    std::string body;
};

class FakeHttps {
public:
    // The answers, in the order the calls come. Each call takes the next answer of its kind;
    // when none is left it succeeds (a send then receives status 200 and an empty body).
    class ScriptBuilder {
    public:
        explicit ScriptBuilder(FakeHttps& owner) : m_owner(owner) {}
        ScriptBuilder& Replies(uint32_t status, const std::string& body);
        // A reply as given: its Content-Length header may differ from the body's length.
        ScriptBuilder& Reply(FakeReply reply);
        ScriptBuilder& SendFails(uint32_t error);
        ScriptBuilder& OpenFails(uint32_t error);
        ScriptBuilder& ConnectFails(uint32_t error);
        ScriptBuilder& OpenRequestFails(uint32_t error);
        // The next SetOption of that option fails.
        ScriptBuilder& SetOptionFails(uint32_t option, uint32_t error);
        ScriptBuilder& StatusQueryFails(uint32_t error);
        ScriptBuilder& ReadFails(uint32_t error);

    private:
        FakeHttps& m_owner;
    };

    FakeHttps();
    ScriptBuilder Script() { return ScriptBuilder(*this); }

    // For LoginEnvironment::httpClient.
    std::function<std::unique_ptr<IHttpClient>(HttpCancel&)> Factory();

    std::vector<HttpCall> Calls() const;
    // The calls of one kind, in order.
    std::vector<HttpCall> Calls(const std::string& op) const;
    // The operations in order, separated by blanks; SetOption and QueryInfo name their
    // option or level ("SetOption(31)", "QueryInfo(status)", "QueryInfo(length)"), Close its
    // handle's kind ("Close(request)").
    std::string Ops() const;
    int Count(const std::string& op) const;
    int ClientsMade() const;
    // Every handle given out has been closed.
    bool AllHandlesClosed() const;

    // Sends block until ReleaseSends() or the client's cancel.
    void HoldSends();
    void ReleaseSends();
    // Waits (up to a real safety limit) until a send is held; false on the limit.
    bool WaitForBlockedSend() const;
    // Runs `action` (outside the fake's lock) when a call of kind `op` begins.
    void OnCall(const std::string& op, std::function<void()> action);

private:
    friend class FakeHttpClient;
    struct Failure {
        std::string op;
        uint32_t option;  // SetOption only
        uint32_t error;
    };
    struct SendAnswer {
        bool ok;
        uint32_t error;
        FakeReply reply;
    };
    struct State {
        mutable std::mutex mutex;
        std::condition_variable cv;
        std::deque<SendAnswer> sends;
        std::vector<Failure> failures;
        std::vector<HttpCall> calls;
        std::map<std::string, std::function<void()>> hooks;
        std::map<std::pair<int, HttpHandle::Value>, std::string> open;  // live handles, by kind
        int clients = 0;
        bool bHold = false;
        int blocked = 0;
    };
    std::shared_ptr<State> m_pState;
};
