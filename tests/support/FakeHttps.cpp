#include "FakeHttps.h"

#include <algorithm>
#include <chrono>
#include <sstream>

namespace {
constexpr uint32_t kStatusLevel = inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE;
constexpr uint32_t kLengthLevel = inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_CONTENT_LENGTH;
}  // namespace

// One client: handles and replies of its own, script and record shared with the others.
class FakeHttpClient final : public IHttpClient {
public:
    FakeHttpClient(std::shared_ptr<FakeHttps::State> state, HttpCancel& cancel)
        : m_pState(std::move(state)), m_cancel(cancel) {
        {
            std::lock_guard<std::mutex> lock(m_pState->mutex);
            m_nId = ++m_pState->clients;
        }
        // Subscribed outside the fake's lock: the cancel runs its actions under its own lock,
        // and the action takes the fake's.
        auto weak = std::weak_ptr<FakeHttps::State>(m_pState);
        m_subscription = cancel.Subscribe([weak] {
            if (auto state = weak.lock()) {
                std::lock_guard<std::mutex> lock(state->mutex);
                state->cv.notify_all();
            }
        });
    }

    HttpHandle Open(const std::string& agent, uint32_t accessType,
                    const std::string& proxy) override {
        HttpCall call = Begin("Open", 0);
        call.text1 = agent;
        call.text2 = proxy;
        call.number = accessType;
        return Finish(call, "internet");
    }

    HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                       uint16_t port) override {
        HttpCall call = Begin("Connect", internet.Get());
        call.text1 = server;
        call.number = port;
        return Finish(call, "connection");
    }

    HttpHandle OpenRequest(const HttpHandle& connection, const std::string& verb,
                           const std::string& object, uint32_t flags) override {
        HttpCall call = Begin("OpenRequest", connection.Get());
        call.text1 = verb;
        call.text2 = object;
        call.number = flags;
        return Finish(call, "request");
    }

    bool SendRequest(const HttpHandle& request, const std::string& headers,
                     const std::string& body) override {
        HttpCall call = Begin("Send", request.Get());
        call.text1 = headers;
        call.text2 = body;
        std::unique_lock<std::mutex> lock(m_pState->mutex);
        if (m_pState->bHold) {
            ++m_pState->blocked;
            m_pState->cv.notify_all();
            m_pState->cv.wait(lock, [&] { return !m_pState->bHold || m_cancel.IsCancelled(); });
            --m_pState->blocked;
            if (m_cancel.IsCancelled()) {
                call.ok = false;
                m_pState->calls.push_back(call);
                return Fail(inet::ERROR_INTERNET_OPERATION_CANCELLED);
            }
        }
        FakeHttps::SendAnswer answer{true, 0, FakeReply()};
        if (!m_pState->sends.empty()) {
            answer = m_pState->sends.front();
            m_pState->sends.pop_front();
        }
        call.ok = answer.ok;
        m_pState->calls.push_back(call);
        if (!answer.ok) return Fail(answer.error);
        m_replies[request.Get()] = Sent{answer.reply, 0};
        return true;
    }

    bool SetOption(const HttpHandle& request, uint32_t option, uint32_t value) override {
        HttpCall call = Begin("SetOption", request.Get());
        call.number = option;
        call.value = value;
        return Record(call, TakeFailure("SetOption", option));
    }

    bool SetOption(const HttpHandle& request, uint32_t option, const std::string& value) override {
        HttpCall call = Begin("SetOption", request.Get());
        call.number = option;
        call.text1 = value;
        return Record(call, TakeFailure("SetOption", option));
    }

    bool QueryInfo(const HttpHandle& request, uint32_t infoLevel, uint32_t& value) override {
        HttpCall call = Begin("QueryInfo", request.Get());
        call.number = infoLevel;
        uint32_t error = 0;
        auto it = m_replies.find(request.Get());
        if (it == m_replies.end()) {
            error = inet::ERROR_INTERNET_INCORRECT_HANDLE_STATE;
        } else if (infoLevel == kStatusLevel) {
            error = TakeFailure("QueryInfo", 0);
            if (error == 0) value = it->second.reply.status;
        } else if (infoLevel == kLengthLevel) {
            if (it->second.reply.contentLength) {
                value = *it->second.reply.contentLength;
            } else {
                error = inet::ERROR_HTTP_HEADER_NOT_FOUND;
            }
        } else {
            error = inet::ERROR_INTERNET_INVALID_OPTION;
        }
        return Record(call, error);
    }

    bool Read(const HttpHandle& request, char* buffer, uint32_t size, uint32_t& read) override {
        HttpCall call = Begin("Read", request.Get());
        call.number = size;
        read = 0;
        uint32_t error = TakeFailure("Read", 0);
        auto it = m_replies.find(request.Get());
        if (error == 0 && it == m_replies.end())
            error = inet::ERROR_INTERNET_INCORRECT_HANDLE_STATE;
        if (error == 0) {
            Sent& sent = it->second;
            const size_t count = std::min<size_t>(size, sent.reply.body.size() - sent.readPos);
            std::copy_n(sent.reply.body.data() + sent.readPos, count, buffer);
            sent.readPos += count;
            read = static_cast<uint32_t>(count);
        }
        return Record(call, error);
    }

    uint32_t LastError() const override { return m_lastError; }
    std::string LastErrorDetail() const override { return {}; }

protected:
    void CloseHandle(HttpHandle::Value value) override {
        HttpCall call = Begin("Close", value);
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        auto it = m_pState->open.find({m_nId, value});
        if (it != m_pState->open.end()) {
            call.text1 = it->second;
            m_pState->open.erase(it);
        } else {
            call.ok = false;
        }
        m_replies.erase(value);
        m_pState->calls.push_back(call);
    }

private:
    struct Sent {
        FakeReply reply;
        size_t readPos;
    };

    // Runs the hook of the operation, outside the lock, and starts its record.
    HttpCall Begin(const std::string& op, HttpHandle::Value handle) {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(m_pState->mutex);
            auto it = m_pState->hooks.find(op);
            if (it != m_pState->hooks.end()) hook = it->second;
        }
        if (hook) hook();
        HttpCall call;
        call.op = op;
        call.handle = handle;
        return call;
    }

    HttpHandle Finish(HttpCall& call, const char* kind) {
        const uint32_t error = TakeFailure(call.op, 0);
        if (error != 0) {
            Record(call, error);
            return {};
        }
        const HttpHandle::Value value = m_nextValue++;
        call.made = value;
        Record(call, 0);
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        m_pState->open[{m_nId, value}] = kind;
        return HttpHandle(*this, value);
    }

    bool Record(HttpCall& call, uint32_t error) {
        call.ok = error == 0;
        {
            std::lock_guard<std::mutex> lock(m_pState->mutex);
            m_pState->calls.push_back(call);
        }
        return error == 0 ? true : Fail(error);
    }

    uint32_t TakeFailure(const std::string& op, uint32_t option) {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        auto& failures = m_pState->failures;
        auto it = std::find_if(failures.begin(), failures.end(), [&](const FakeHttps::Failure& f) {
            return f.op == op && (op != "SetOption" || f.option == option);
        });
        if (it == failures.end()) return 0;
        const uint32_t error = it->error;
        failures.erase(it);
        return error;
    }

    bool Fail(uint32_t error) {
        m_lastError = error;
        return false;
    }

    std::shared_ptr<FakeHttps::State> m_pState;
    HttpCancel& m_cancel;
    HttpCancel::Subscription m_subscription;
    int m_nId = 0;
    HttpHandle::Value m_nextValue = 1;
    std::map<HttpHandle::Value, Sent> m_replies;
    uint32_t m_lastError = 0;
};

FakeHttps::FakeHttps() : m_pState(std::make_shared<State>()) {}

std::function<std::unique_ptr<IHttpClient>(HttpCancel&)> FakeHttps::Factory() {
    auto state = m_pState;
    return [state](HttpCancel& cancel) -> std::unique_ptr<IHttpClient> {
        return std::make_unique<FakeHttpClient>(state, cancel);
    };
}

FakeHttps::ScriptBuilder& FakeHttps::ScriptBuilder::Replies(uint32_t status,
                                                            const std::string& body) {
    return Reply(FakeReply{status, static_cast<uint32_t>(body.size()), body});
}

FakeHttps::ScriptBuilder& FakeHttps::ScriptBuilder::Reply(FakeReply reply) {
    std::lock_guard<std::mutex> lock(m_owner.m_pState->mutex);
    m_owner.m_pState->sends.push_back({true, 0, std::move(reply)});
    return *this;
}

FakeHttps::ScriptBuilder& FakeHttps::ScriptBuilder::SendFails(uint32_t error) {
    std::lock_guard<std::mutex> lock(m_owner.m_pState->mutex);
    m_owner.m_pState->sends.push_back({false, error, FakeReply()});
    return *this;
}

#define FAKE_HTTPS_FAILURE(Name, op, option)                                   \
    FakeHttps::ScriptBuilder& FakeHttps::ScriptBuilder::Name(uint32_t error) { \
        std::lock_guard<std::mutex> lock(m_owner.m_pState->mutex);             \
        m_owner.m_pState->failures.push_back({op, option, error});             \
        return *this;                                                          \
    }
FAKE_HTTPS_FAILURE(OpenFails, "Open", 0)
FAKE_HTTPS_FAILURE(ConnectFails, "Connect", 0)
FAKE_HTTPS_FAILURE(OpenRequestFails, "OpenRequest", 0)
FAKE_HTTPS_FAILURE(StatusQueryFails, "QueryInfo", 0)
FAKE_HTTPS_FAILURE(ReadFails, "Read", 0)
#undef FAKE_HTTPS_FAILURE

FakeHttps::ScriptBuilder& FakeHttps::ScriptBuilder::SetOptionFails(uint32_t option,
                                                                   uint32_t error) {
    std::lock_guard<std::mutex> lock(m_owner.m_pState->mutex);
    m_owner.m_pState->failures.push_back({"SetOption", option, error});
    return *this;
}

std::vector<HttpCall> FakeHttps::Calls() const {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->calls;
}

std::vector<HttpCall> FakeHttps::Calls(const std::string& op) const {
    std::vector<HttpCall> out;
    for (const HttpCall& call : Calls())
        if (call.op == op) out.push_back(call);
    return out;
}

std::string FakeHttps::Ops() const {
    std::ostringstream out;
    bool bFirst = true;
    for (const HttpCall& call : Calls()) {
        if (!bFirst) out << ' ';
        bFirst = false;
        out << call.op;
        if (call.op == "SetOption") {
            out << '(' << call.number << ')';
        } else if (call.op == "QueryInfo") {
            out << (call.number == kStatusLevel   ? "(status)"
                    : call.number == kLengthLevel ? "(length)"
                                                  : "(other)");
        } else if (call.op == "Close") {
            out << '(' << call.text1 << ')';
        }
    }
    return out.str();
}

int FakeHttps::Count(const std::string& op) const {
    return static_cast<int>(Calls(op).size());
}

int FakeHttps::ClientsMade() const {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->clients;
}

bool FakeHttps::AllHandlesClosed() const {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->open.empty();
}

void FakeHttps::HoldSends() {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->bHold = true;
}

void FakeHttps::ReleaseSends() {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->bHold = false;
    m_pState->cv.notify_all();
}

bool FakeHttps::WaitForBlockedSend() const {
    std::unique_lock<std::mutex> lock(m_pState->mutex);
    return m_pState->cv.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return m_pState->blocked > 0; });
}

void FakeHttps::OnCall(const std::string& op, std::function<void()> action) {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->hooks[op] = std::move(action);
}
