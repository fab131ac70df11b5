// The WinINet-shaped client over WinINet itself. A stop request closes every open handle from
// the cancelling thread, which makes a blocked synchronous call return with an error.
#include "platform/https.h"

// Our copies of WinINet's numbers, taken before <wininet.h> makes their names macros, so that
// they can be checked against the real ones.
namespace {
constexpr uint32_t kOurNumbers[] = {
    inet::INTERNET_OPEN_TYPE_PRECONFIG,
    inet::INTERNET_OPEN_TYPE_DIRECT,
    inet::INTERNET_OPEN_TYPE_PROXY,
    inet::INTERNET_FLAG_SECURE,
    inet::INTERNET_OPTION_SECURITY_FLAGS,
    inet::INTERNET_OPTION_PROXY_USERNAME,
    inet::INTERNET_OPTION_PROXY_PASSWORD,
    inet::SECURITY_FLAG_IGNORE_REVOCATION,
    inet::SECURITY_FLAG_IGNORE_UNKNOWN_CA,
    inet::SECURITY_FLAG_IGNORE_WRONG_USAGE,
    inet::SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
    inet::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID,
    inet::HTTP_QUERY_FLAG_NUMBER,
    inet::HTTP_QUERY_CONTENT_LENGTH,
    inet::HTTP_QUERY_STATUS_CODE,
    inet::ERROR_INTERNET_OPERATION_CANCELLED,
    inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
    inet::ERROR_INTERNET_CANNOT_CONNECT,
    inet::ERROR_INTERNET_SEC_CERT_DATE_INVALID,
    inet::ERROR_INTERNET_SEC_CERT_CN_INVALID,
    inet::ERROR_INTERNET_INVALID_CA,
    inet::ERROR_HTTP_HEADER_NOT_FOUND,
    inet::ERROR_INTERNET_SEC_INVALID_CERT,
};
constexpr uint32_t kCancelled = inet::ERROR_INTERNET_OPERATION_CANCELLED;
constexpr uint32_t kWrongHandle = inet::ERROR_INTERNET_INCORRECT_HANDLE_TYPE;
}  // namespace

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kTheirNumbers[] = {
    INTERNET_OPEN_TYPE_PRECONFIG,
    INTERNET_OPEN_TYPE_DIRECT,
    INTERNET_OPEN_TYPE_PROXY,
    INTERNET_FLAG_SECURE,
    INTERNET_OPTION_SECURITY_FLAGS,
    INTERNET_OPTION_PROXY_USERNAME,
    INTERNET_OPTION_PROXY_PASSWORD,
    SECURITY_FLAG_IGNORE_REVOCATION,
    SECURITY_FLAG_IGNORE_UNKNOWN_CA,
    SECURITY_FLAG_IGNORE_WRONG_USAGE,
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
    SECURITY_FLAG_IGNORE_CERT_DATE_INVALID,
    HTTP_QUERY_FLAG_NUMBER,
    HTTP_QUERY_CONTENT_LENGTH,
    HTTP_QUERY_STATUS_CODE,
    ERROR_INTERNET_OPERATION_CANCELLED,
    ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
    ERROR_INTERNET_CANNOT_CONNECT,
    ERROR_INTERNET_SEC_CERT_DATE_INVALID,
    ERROR_INTERNET_SEC_CERT_CN_INVALID,
    ERROR_INTERNET_INVALID_CA,
    ERROR_HTTP_HEADER_NOT_FOUND,
    ERROR_INTERNET_SEC_INVALID_CERT,
};

constexpr bool SameNumbers() {
    static_assert(sizeof kOurNumbers / sizeof kOurNumbers[0] ==
                  sizeof kTheirNumbers / sizeof kTheirNumbers[0]);
    for (size_t i = 0; i < sizeof kOurNumbers / sizeof kOurNumbers[0]; ++i) {
        if (kOurNumbers[i] != kTheirNumbers[i]) return false;
    }
    return true;
}
static_assert(SameNumbers(), "platform/https.h disagrees with <wininet.h>");

HINTERNET Native(const HttpHandle& handle) {
    return reinterpret_cast<HINTERNET>(handle.Get());
}

class WinInetHttpClient final : public IHttpClient {
public:
    explicit WinInetHttpClient(HttpCancel& cancel)
        : m_cancel(cancel), m_subscription(cancel.Subscribe([this] { CloseAll(); })) {}

    ~WinInetHttpClient() override {
        m_subscription = HttpCancel::Subscription();
        CloseAll();
    }

    HttpHandle Open(const std::string& agent, uint32_t accessType,
                    const std::string& proxy) override {
        bool bProxy = accessType == INTERNET_OPEN_TYPE_PROXY;
        return Track(
            InternetOpenA(agent.c_str(), accessType, bProxy ? proxy.c_str() : nullptr, nullptr, 0));
    }

    HttpHandle Connect(const HttpHandle& internet, const std::string& server,
                       uint16_t port) override {
        if (!IsOpen(internet)) return {};
        return Track(InternetConnectA(Native(internet), server.c_str(), port, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
    }

    HttpHandle OpenRequest(const HttpHandle& connection, const std::string& verb,
                           const std::string& object, uint32_t flags) override {
        if (!IsOpen(connection)) return {};
        return Track(HttpOpenRequestA(Native(connection), verb.c_str(), object.c_str(), nullptr,
                                      nullptr, nullptr, flags, 0));
    }

    bool SendRequest(const HttpHandle& request, const std::string& headers,
                     const std::string& body) override {
        if (!IsOpen(request)) return false;
        BOOL bSent = HttpSendRequestA(Native(request), headers.empty() ? nullptr : headers.c_str(),
                                      static_cast<DWORD>(headers.size()),
                                      body.empty() ? nullptr : const_cast<char*>(body.data()),
                                      static_cast<DWORD>(body.size()));
        return Result(bSent);
    }

    bool SetOption(const HttpHandle& request, uint32_t option, uint32_t value) override {
        if (!IsOpen(request)) return false;
        DWORD number = value;
        return Result(InternetSetOptionA(Native(request), option, &number, sizeof number));
    }

    bool SetOption(const HttpHandle& request, uint32_t option, const std::string& value) override {
        if (!IsOpen(request)) return false;
        return Result(InternetSetOptionA(Native(request), option, const_cast<char*>(value.c_str()),
                                         static_cast<DWORD>(value.size())));
    }

    bool QueryInfo(const HttpHandle& request, uint32_t infoLevel, uint32_t& value) override {
        if (!IsOpen(request)) return false;
        DWORD number = 0;
        DWORD size = sizeof number;
        if (!Result(HttpQueryInfoA(Native(request), infoLevel, &number, &size, nullptr))) {
            return false;
        }
        value = number;
        return true;
    }

    // WinINet's synchronous read fills the buffer; looping keeps that promise should a read
    // return less before the end.
    bool Read(const HttpHandle& request, char* buffer, uint32_t size, uint32_t& read) override {
        read = 0;
        if (!IsOpen(request)) return false;
        while (read < size) {
            DWORD count = 0;
            if (!Result(InternetReadFile(Native(request), buffer + read, size - read, &count))) {
                return false;
            }
            if (count == 0) break;
            read += count;
        }
        return true;
    }

    uint32_t LastError() const override { return m_lastError; }

    std::string LastErrorDetail() const override {
        return m_lastError == 0 ? std::string() : "WinINet error " + std::to_string(m_nativeError);
    }

protected:
    void CloseHandle(HttpHandle::Value value) override {
        auto handle = reinterpret_cast<HINTERNET>(value);
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find(m_open.begin(), m_open.end(), handle);
        if (it == m_open.end()) return;  // closed by a stop request
        m_open.erase(it);
        InternetCloseHandle(handle);
    }

private:
    // Children first, so that no handle outlives the one it came from.
    void CloseAll() {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) InternetCloseHandle(*it);
        m_open.clear();
    }

    HttpHandle Track(HINTERNET handle) {
        if (!handle) {
            Result(FALSE);
            return {};
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancel.IsCancelled()) {  // the stop request came during the call
            InternetCloseHandle(handle);
            m_lastError = m_nativeError = kCancelled;
            return {};
        }
        m_open.push_back(handle);
        return HttpHandle(*this, reinterpret_cast<HttpHandle::Value>(handle));
    }

    // Whether the handle may be used: open, and no stop request yet.
    bool IsOpen(const HttpHandle& handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancel.IsCancelled()) {
            m_lastError = m_nativeError = kCancelled;
            return false;
        }
        if (std::find(m_open.begin(), m_open.end(), Native(handle)) == m_open.end()) {
            m_lastError = m_nativeError = kWrongHandle;
            return false;
        }
        return true;
    }

    // A call's outcome; a failure after a stop request is told as the cancellation it is.
    bool Result(BOOL bOk) {
        if (bOk) return true;
        m_nativeError = GetLastError();
        m_lastError = m_cancel.IsCancelled() ? kCancelled : m_nativeError;
        return false;
    }

    HttpCancel& m_cancel;
    std::mutex m_mutex;
    std::vector<HINTERNET> m_open;  // in the order opened
    uint32_t m_lastError = 0;
    uint32_t m_nativeError = 0;
    HttpCancel::Subscription m_subscription;
};

}  // namespace

std::unique_ptr<IHttpClient> CreateHttpClient(HttpCancel& cancel, const HttpClientOptions&) {
    return std::make_unique<WinInetHttpClient>(cancel);
}
