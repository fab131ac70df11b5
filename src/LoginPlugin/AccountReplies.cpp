#include "AccountReplies.h"

#include <cctype>
#include <limits>

#include "LoginStates.h"
#include "libs/trace/Trace.h"
#include "markup/MarkupSTL.h"

namespace {
// The records keep the login object's site: users read them as its own.
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\LoginImpl"};
}  // namespace

int32_t ReplyResultCode(const std::string& text) {
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

std::string PasswordFromReply(const std::string& response, bool bTraceReply,
                              std::optional<int32_t>& code) {
    try {
        CMarkupSTL markup;
        if (!markup.SetDoc(response)) {
            TRACE_AT(kTrace, TRACE_ERRO, "markup.SetDoc() failed!");
            return {};
        }
        if (!markup.FindElem("result")) {
            TRACE_AT(kTrace, TRACE_ERRO, "markup.FindElem() failed! can not find \"result\" flag");
            // The reply may hold the password.
            if (bTraceReply) TRACE_AT(kTrace, TRACE_ERRO, response);
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
        code = ReplyResultCode(strResultValue);
        if (*code != 0) {
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
        code = LOGIN_STATE_PARSER_FAILED;
        return {};
    }
}

bool LoginResultFromReply(const std::string& strResponse, LoginResult& result,
                          std::optional<int32_t>& code, bool bTraceReply) {
    try {
        if (strResponse.empty()) {
            TRACE_AT(kTrace, TRACE_INFO, "strResponse equal !");
            return false;
        }
        CMarkupSTL markup;
        if (!markup.SetDoc(strResponse)) {
            code = LOGIN_STATE_SIM_TYPE_OR_REPLY;
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
        code = ReplyResultCode(strResultValue);
        if (*code != 0) {
            // The server's own text only where the mode allows it; else the number read.
            TRACE_AT(kTrace, TRACE_ERRO,
                     "0 != m_iError! m_iError = " +
                         (bTraceReply ? strResultValue : std::to_string(*code)));
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
        // Only once both values are in hand.
        result = std::move(parsed);
        return true;
    } catch (...) {
        TRACE_AT(kTrace, TRACE_CRIT, "ParseLoginResult() exception!");
        code = LOGIN_STATE_PARSER_FAILED;
        return false;
    }
}
