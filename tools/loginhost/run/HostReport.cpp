#include "HostReport.h"

#include <algorithm>

#include "HostProgress.h"
#include "platform/textcodec.h"

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string OutcomeJson(const LoginOutcome& outcome) {
    return std::string("{\"login\":") + (outcome.bLogin ? "true" : "false") +
           ",\"error\":" + std::to_string(outcome.nError) +
           ",\"imsi\":" + JsonString(outcome.imsi) +
           ",\"encodekey\":" + JsonString(outcome.encodeKey) +
           ",\"sessionid\":" + JsonString(outcome.sessionId) +
           ",\"password\":" + JsonString(outcome.password) + "}";
}

namespace {

const char* JournalPriority(const std::string& what) {
    if (what == "error") return "<3>";
    if (what == "held" || what == "trace") return "<4>";
    return "<6>";
}

}  // namespace

void HostReport::Record(const char* what, const std::string& text, const std::string& fields) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bJournal) std::fputs(JournalPriority(what), m_pOut);
    if (m_bJson) {
        std::fprintf(m_pOut, "{\"what\":%s,\"text\":%s%s%s}\n", JsonString(what).c_str(),
                     JsonString(text).c_str(), fields.empty() ? "" : ",", fields.c_str());
    } else {
        std::fprintf(m_pOut, "%-9s %s\n", what, text.c_str());
    }
    std::fflush(m_pOut);
}

void HostReport::Outcome(const LoginOutcome& outcome) {
    const std::string meaning = DescribeStateCode(outcome.nError);
    Line("result", outcome.bLogin ? "logged in" : "not logged in");
    Line("state", std::to_string(outcome.nError) + (meaning.empty() ? "" : " (" + meaning + ")"));
    Line("imsi", outcome.imsi);
    if (!outcome.bLogin) return;
    Line("encodekey", outcome.encodeKey);
    Line("sessionid", outcome.sessionId);
    Line("password", outcome.password);
}

void HostReport::OnSettingWritten(const std::string& store, const std::string& section,
                                  const std::string& key, const std::string& value) {
    Line(store == "user" ? "set-user" : "set-sys", section + "/" + key + "=" + value);
}

void HostReport::OnSimTypeNumber(int32_t simType) {
    Line("simtype", std::to_string(simType));
}

void HostReport::OnSaveFailed(const std::string& error) {
    Line("error", error);
}

void HostReport::OnSkinChange(const SkinChangeInfo& info, const std::string& listener) {
    const std::string name(info.szName,
                           std::find(info.szName, info.szName + sizeof info.szName, '\0'));
    Line("skin", "simtype=" + std::to_string(info.nSimType) + " name=" + GbkToUtf8(name) +
                     (listener.empty() ? "" : " listener=" + listener));
}
