#include "LoginResponseImpl.h"

#include "ResponseRelease.h"
#include "libs/trace/Trace.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginResponseImpl"};
}  // namespace

CLoginResponseImpl::CLoginResponseImpl(const std::string& encodeKey, const std::string& sessionId) {
    TRACE_AT(kTrace, TRACE_INFO, "Enter CLoginResponseImpl()!");
    m_strEncodeKey = encodeKey;
    m_strSessionId = sessionId;
    TRACE_AT(kTrace, TRACE_INFO, "Leave CLoginResponseImpl()!");
}

CLoginResponseImpl::~CLoginResponseImpl() {
    TRACE_AT(kTrace, TRACE_INFO, "Enter ~CLoginResponseImpl()!");
    TRACE_AT(kTrace, TRACE_INFO, "Leave ~CLoginResponseImpl()!");
}

void CLoginResponseImpl::Release() {
    ReleaseResponse(this, kTrace);
}
