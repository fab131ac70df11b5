#include "RegResponseImpl.h"

#include "ResponseRelease.h"
#include "global/Trace.h"

namespace {
const char* const kModule = "LoginPlguin";
const char* const kSource = "src\\LoginPlugin\\RegResponseImpl";
}  // namespace

#define RESPONSE_TRACE(message) NORVA_TRACE(TRACE_INFO, kModule, kSource, message)

CRegResponseImpl::CRegResponseImpl(const std::string& password) {
    RESPONSE_TRACE("Enter CRegResponseImpl()!");
    m_strPassword = password;
    RESPONSE_TRACE("Leave CRegResponseImpl()!");
}

CRegResponseImpl::~CRegResponseImpl() {
    RESPONSE_TRACE("Enter ~CRegResponseImpl()!");
    RESPONSE_TRACE("Leave ~CRegResponseImpl()!");
}

void CRegResponseImpl::Release() { ReleaseResponse(this, kSource); }
