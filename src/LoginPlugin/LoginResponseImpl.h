// The encode key and session id of a successful login, as handed to the host (number 3).
#pragma once

#include <string>

#include "ILoginResponse.h"
#include "libs/trace/Trace.h"

class CLoginResponseImpl final : public ILoginResponse {
public:
    CLoginResponseImpl(const std::string& encodeKey, const std::string& sessionId);
    CLoginResponseImpl(const CLoginResponseImpl&) = delete;
    CLoginResponseImpl& operator=(const CLoginResponseImpl&) = delete;

    void Release() override;
    int32_t GetErrorCode() override { return m_nErrorCode; }
    std::string GetEncodeKey() override { return m_strEncodeKey; }
    std::string GetSessionID() override { return m_strSessionId; }

private:
    template <typename T>
    friend void ReleaseResponse(T* self, const TraceSite& site);
    // Destroyed only through Release.
    ~CLoginResponseImpl();

    int32_t m_nErrorCode = 0;
    std::string m_strEncodeKey;
    std::string m_strSessionId;
};
