// The readers of the account server's replies: the registration reply (the password) and the
// login reply (encode key and session id). Both leave the server's result code in m_iError.
#include <cctype>
#include <cstdint>
#include <limits>

#include "LoginImpl.h"
#include "libs/trace/Trace.h"
#include "markup/MarkupSTL.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};

// The result code as atoi reads it: leading blanks, a sign, digits up to the first other byte;
// no digits give 0. Out-of-range values saturate instead of being undefined.
int32_t ResultCode(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) bNegative = text[i++] == '-';
    int64_t value = 0;
    const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    if (bNegative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}
}  // namespace

std::string CLoginImpl::GetPwdFromResponse(const std::string& response) {
    try {
        CMarkupSTL markup;
        if (!markup.SetDoc(response)) {
            TRACE_AT(kTrace, TRACE_ERRO, "markup.SetDoc() failed!");
            return {};
        }
        if (!markup.FindElem("result")) {
            TRACE_AT(kTrace, TRACE_ERRO, "markup.FindElem() failed! can not find \"result\" flag");
            // The reply may hold the password.
            if (m_Policy.TracesExchangedTexts()) TRACE_AT(kTrace, TRACE_ERRO, response);
            return {};
        }
        if (!markup.IntoElem()) {
            TRACE_AT(kTrace, TRACE_ERRO, "markup.IntoElem() failed!");
            return {};
        }
        if (!markup.FindElem("resultValue")) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "markup.FindElem() failed! can not find \"resultValue\" flag");
            return {};
        }
        const std::string strResultValue = markup.GetElemData();
        if (strResultValue.empty()) {
            TRACE_AT(kTrace, TRACE_ERRO, "strResultValue equal !");
            return {};
        }
        m_iError = ResultCode(strResultValue);
        if (m_iError != 0) {
            TRACE_AT(kTrace, TRACE_ERRO, "atoi() failed!");
            return {};
        }
        if (!markup.FindElem("password")) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "markup.FindElem() failed! can not find \"password\" flag");
            return {};
        }
        return markup.GetElemData();
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "GetPwdFromResponse() exception!");
        m_iError = -100;
        return {};
    }
}

bool CLoginImpl::ParseLoginResult(const std::string& strResponse, LoginResult& result) {
    try {
        if (strResponse.empty()) {
            TRACE_AT(kTrace, TRACE_INFO, "strResponse equal !");
            return false;
        }
        CMarkupSTL markup;
        if (!markup.SetDoc(strResponse)) {
            m_iError = -3;
            TRACE_AT(kTrace, TRACE_ERRO, "markup.SetDoc() failed!");
            return false;
        }
        if (!markup.FindElem("result")) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "markup.FindElem(result) failed! can not find \"result\" flag");
            return false;
        }
        if (!markup.IntoElem()) {
            TRACE_AT(kTrace, TRACE_ERRO, "markup.IntoElem() failed!");
            return false;
        }
        if (!markup.FindElem("resultValue")) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "markup.FindElem(resultValue) failed! can not find \"resultValue\" flag");
            return false;
        }
        const std::string strResultValue = markup.GetElemData();
        if (strResultValue.empty()) {
            TRACE_AT(kTrace, TRACE_ERRO, "strResultValue equal !");
            return false;
        }
        m_iError = ResultCode(strResultValue);
        if (m_iError != 0) {
            TRACE_AT(kTrace, TRACE_ERRO, "0 != m_iError! m_iError = " + strResultValue);
            return false;
        }
        if (!markup.FindElem("encodekey")) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "markup.FindElem(encodekey) failed! can not find \"encodekey\" flag");
            return false;
        }
        LoginResult parsed;
        parsed.strEncodeKey = markup.GetElemData();
        if (!markup.FindElem("sessionid")) {
            TRACE_AT(kTrace, TRACE_ERRO,
                     "markup.FindElem(sessionid) failed! can not find \"sessionid\" flag");
            return false;
        }
        parsed.strSessionId = markup.GetElemData();
        // The host copies the result on its own threads (numbers 2 and 3): replace it whole
        // under the guard, and only once both values are in hand.
        if (&result == &m_LoginResult) {
            std::lock_guard<std::mutex> lock(m_ResultGuard);
            result = std::move(parsed);
        } else {
            result = std::move(parsed);
        }
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "ParseLoginResult() exception!");
        m_iError = -100;
        return false;
    }
}
