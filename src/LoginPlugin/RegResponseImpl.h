// The password in use after a successful login, as handed to the host (number 2).
#pragma once

#include <string>

#include "ILoginResponse.h"
#include "libs/trace/Trace.h"

class CRegResponseImpl final : public IRegResponse {
public:
    explicit CRegResponseImpl(const std::string& password);
    CRegResponseImpl(const CRegResponseImpl&) = delete;
    CRegResponseImpl& operator=(const CRegResponseImpl&) = delete;

    void Release() override;
    int32_t GetErrorCode() override { return m_nErrorCode; }
    std::string GetPassword() override { return m_strPassword; }

private:
    template <typename T>
    friend void ReleaseResponse(T* self, const TraceSite& site);
    // Destroyed only through Release.
    ~CRegResponseImpl();

    int32_t m_nErrorCode = 0;
    std::string m_strPassword;
};
