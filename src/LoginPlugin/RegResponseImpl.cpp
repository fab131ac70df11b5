#include "RegResponseImpl.h"

#include "ResponseRelease.h"
#include "libs/trace/Trace.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\RegResponseImpl"};
}  // namespace

CRegResponseImpl::CRegResponseImpl(const std::string& password) {
    TRACE_AT(kTrace, TRACE_INFO, "Enter CRegResponseImpl()!");
    m_strPassword = password;
    TRACE_AT(kTrace, TRACE_INFO, "Leave CRegResponseImpl()!");
}

CRegResponseImpl::~CRegResponseImpl() {
    TRACE_AT(kTrace, TRACE_INFO, "Enter ~CRegResponseImpl()!");
    TRACE_AT(kTrace, TRACE_INFO, "Leave ~CRegResponseImpl()!");
}

void CRegResponseImpl::Release() {
    ReleaseResponse(this, kTrace);
}
