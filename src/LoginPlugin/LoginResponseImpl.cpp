#include "LoginResponseImpl.h"

#include "ResponseRelease.h"
#include "global/Trace.h"

namespace {
const char* const kModule = "LoginPlguin";
const char* const kSource = "src\\LoginPlugin\\LoginResponseImpl";
}  // namespace

#define RESPONSE_TRACE(message) NORVA_TRACE(TRACE_INFO, kModule, kSource, message)

CLoginResponseImpl::CLoginResponseImpl(const std::string& encodeKey, const std::string& sessionId) {
    RESPONSE_TRACE("Enter CLoginResponseImpl()!");
    m_strEncodeKey = encodeKey;
    m_strSessionId = sessionId;
    RESPONSE_TRACE("Leave CLoginResponseImpl()!");
}

CLoginResponseImpl::~CLoginResponseImpl() {
    RESPONSE_TRACE("Enter ~CLoginResponseImpl()!");
    RESPONSE_TRACE("Leave ~CLoginResponseImpl()!");
}

void CLoginResponseImpl::Release() { ReleaseResponse(this, kSource); }
