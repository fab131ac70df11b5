// The platform's HTTPS client with every call noted, so that a test over the real network can
// tell which requests were sent and how (the certificate retry, the proxy credentials). The
// clients of one recorder keep their connections together, as those of one login object do.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/https.h"

class RecordingHttps {
public:
    explicit RecordingHttps(HttpClientOptions options = {})
        : m_pState(std::make_shared<State>()), m_options(std::move(options)) {
        if (!m_options.connections) m_options.connections = CreateHttpConnections();
    }

    // For LoginEnvironment::httpClient.
    std::function<std::unique_ptr<IHttpClient>(HttpCancel&)> Factory() {
        auto state = m_pState;
        auto options = m_options;
        return [state, options](HttpCancel& cancel) -> std::unique_ptr<IHttpClient> {
            return std::make_unique<Client>(state, CreateHttpClient(cancel, options));
        };
    }
    // Operations in order: "Open(1)", "Open(3 127.0.0.1:8080)", "OpenRequest(/login)",
    // "Send=ok", "Send=12045", "SetOption(31)", "Status=407", "Read=10240".
    std::vector<std::string> Ops() const {
        std::lock_guard<std::mutex> lock(m_pState->mutex);
        return m_pState->ops;
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& op : Ops()) n += op.rfind(prefix, 0) == 0;
        return n;
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<std::string> ops;
    };

    class Client final : public IHttpClient {
    public:
        Client(std::shared_ptr<State> state, std::unique_ptr<IHttpClient> inner)
            : m_pState(std::move(state)), m_pInner(std::move(inner)) {}

        HttpHandle Open(const std::string& agent, uint32_t accessType,
                        const std::string& proxy) override {
            Note("Open(" + std::to_string(accessType) + (proxy.empty() ? "" : " " + proxy) + ")");
            return m_pInner->Open(agent, accessType, proxy);
        }
        HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                           uint16_t port) override {
            return m_pInner->Connect(internet, server, port);
        }
        HttpHandle OpenRequest(const HttpHandle& connection, const std::string& verb,
                               const std::string& object, uint32_t flags) override {
            Note("OpenRequest(" + object + ")");
            return m_pInner->OpenRequest(connection, verb, object, flags);
        }
        bool SendRequest(const HttpHandle& request, const std::string& headers,
                         const std::string& body) override {
            const bool ok = m_pInner->SendRequest(request, headers, body);
            Note(ok ? "Send=ok" : "Send=" + std::to_string(m_pInner->LastError()));
            return ok;
        }
        bool SetOption(const HttpHandle& request, uint32_t option, uint32_t value) override {
            Note("SetOption(" + std::to_string(option) + ")");
            return m_pInner->SetOption(request, option, value);
        }
        bool SetOption(const HttpHandle& request, uint32_t option,
                       const std::string& value) override {
            Note("SetOption(" + std::to_string(option) + ")");
            return m_pInner->SetOption(request, option, value);
        }
        bool QueryInfo(const HttpHandle& request, uint32_t infoLevel, uint32_t& value) override {
            const bool ok = m_pInner->QueryInfo(request, infoLevel, value);
            if (ok && infoLevel == (inet::HTTP_QUERY_FLAG_NUMBER | inet::HTTP_QUERY_STATUS_CODE))
                Note("Status=" + std::to_string(value));
            return ok;
        }
        bool Read(const HttpHandle& request, char* buffer, uint32_t size, uint32_t& read) override {
            const bool ok = m_pInner->Read(request, buffer, size, read);
            Note("Read=" + std::to_string(read));
            return ok;
        }
        uint32_t LastError() const override { return m_pInner->LastError(); }
        std::string LastErrorDetail() const override { return m_pInner->LastErrorDetail(); }

    protected:
        // Handles are the inner client's own, and close there.
        void CloseHandle(HttpHandle::Value) override {}

    private:
        void Note(const std::string& op) {
            std::lock_guard<std::mutex> lock(m_pState->mutex);
            m_pState->ops.push_back(op);
        }
        std::shared_ptr<State> m_pState;
        std::unique_ptr<IHttpClient> m_pInner;
    };

    std::shared_ptr<State> m_pState;
    HttpClientOptions m_options;
};
