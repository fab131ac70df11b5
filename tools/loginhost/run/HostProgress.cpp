#include "HostProgress.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/textcodec.h"

namespace fs = std::filesystem;

std::string DescribeStateCode(int32_t code) {
    switch (code) {
        case 0:
            return "no error";
        case -1:
            return "no key file path, or a URL that cannot be parsed";
        case -2:
            return "no identity, or a URL that is not HTTPS";
        case -3:
            return "no SIM type, or a login reply that is not well formed";
        case -100:
            return "a reply parser failed";
        case 2:
            return "server: identity unknown";
        case 3:
            return "server: wrong password";
        case 5:
            return "the proxy asks for credentials that are not available";
        case 14:
            return "card busy";
        case 22:
            return "card: file not found";
        case 10003:
            return "card: time-out";
        case 10300:
            return "card: device error";
        case 10301:
            return "card: no SIM";
        case 10302:
            return "card: SIM PIN required";
        case 10303:
            return "card: SIM PUK required";
        case 10304:
            return "card: SIM failure";
        case 10305:
            return "card: unexpected answer";
        case 10306:
            return "card: the host is stopping";
        case 12002:
            return "time-out";
        case 12007:
            return "server name not resolved";
        case 12029:
            return "cannot connect";
        case 12030:
            return "connection aborted";
        case 12037:
            return "certificate expired or not yet valid";
        case 12038:
            return "certificate name mismatch";
        case 12045:
            return "certificate of an unknown issuer";
        case 12169:
            return "certificate error";
        default:
            return code > 0 && code < 1000 ? "server result code" : "";
    }
}

bool ParseTraceLine(const std::string& line, TraceLine& out) {
    // date time [thread] LEVEL module source:line message
    size_t pos = 0;
    std::string fields[6];
    for (int i = 0; i < 5; ++i) {
        const size_t end = line.find(' ', pos);
        if (end == std::string::npos) return false;
        fields[i] = line.substr(pos, end - pos);
        pos = end + 1;
    }
    const size_t end = line.find(' ', pos);
    if (end == std::string::npos) return false;
    fields[5] = line.substr(pos, end - pos);
    if (fields[2].size() < 2 || fields[2].front() != '[' || fields[2].back() != ']') return false;
    out.level = fields[3];
    out.module = fields[4];
    out.source = fields[5];
    out.message = line.substr(end + 1);
    return true;
}

bool WatchedSetting::GetSysSetting(const std::string& section, const std::string& key,
                                   std::string& value) {
    const bool found = m_inner.GetSysSetting(section, key, value);
    if (key == "URL" && (section == "REGISTER" || section == "LOGIN") && m_onUrlRead) {
        m_onUrlRead(section, found ? value : std::string());
    }
    return found;
}

HostProgress::HostProgress(HostReport& report, std::string tracePath)
    : m_report(report), m_strTracePath(std::move(tracePath)), m_start(Clock::now()) {
    std::error_code ec;
    const auto size = fs::file_size(fs::path(m_strTracePath), ec);
    m_traceOffset = ec ? 0 : static_cast<uint64_t>(size);
}

double HostProgress::Elapsed() const {
    return std::chrono::duration<double>(Clock::now() - m_start).count();
}

std::string HostProgress::Stamp() const {
    char text[32];
    std::snprintf(text, sizeof text, "+%.1fs", Elapsed());
    return text;
}

void HostProgress::OnUrlRead(const std::string& section, const std::string& url) {
    if (url.empty()) {
        m_report.Line("progress", Stamp() + " no " + section + " URL in the settings");
    } else if (section == "REGISTER") {
        m_report.Line("progress", Stamp() + " registering at " + GbkToUtf8(url));
    } else {
        m_report.Line("progress", Stamp() + " logging in at " + GbkToUtf8(url));
    }
}

void HostProgress::ReadTrace() {
    std::error_code ec;
    const auto size = fs::file_size(fs::path(m_strTracePath), ec);
    if (ec) return;
    if (static_cast<uint64_t>(size) < m_traceOffset) {  // a new file in its place
        m_traceOffset = 0;
        m_strPending.clear();
    }
    if (static_cast<uint64_t>(size) == m_traceOffset) return;
    std::ifstream in(m_strTracePath, std::ios::binary);
    if (!in) return;
    in.seekg(static_cast<std::streamoff>(m_traceOffset));
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    m_traceOffset += text.size();
    m_strPending += text;
    size_t start = 0;
    for (size_t end; (end = m_strPending.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = m_strPending.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        TraceLine record;
        if (ParseTraceLine(line, record) && !m_strWatched.empty() &&
            record.message.find(m_strWatched) != std::string::npos) {
            m_bTraceSeen = true;
        }
        // Warnings and errors name the step that failed. Information records are the plug-in's
        // diary, and level-1 records mostly say that an operation caught its own exception, the
        // plug-in's usual way out of a failing step (a first ReadPwd before any registration).
        if (ParseTraceLine(line, record) && (record.level == "ERRO" || record.level == "WARN")) {
            m_report.Line("trace", Stamp() + " " + record.level + " " + GbkToUtf8(record.message));
        }
    }
    m_strPending.erase(0, start);
}

void HostProgress::WatchTrace(const std::string& text) {
    ReadTrace();  // what came before does not count
    m_strWatched = text;
    m_bTraceSeen = false;
}

void HostProgress::Poll(ILogin2* pLogin) {
    ReadTrace();
    if (!pLogin) return;
    const int32_t state = pLogin->GetErrorCode();
    if (state != m_nLastState) {
        m_nLastState = state;
        const std::string meaning = DescribeStateCode(state);
        m_report.Record("progress",
                        Stamp() + " state " + std::to_string(state) +
                            (meaning.empty() ? "" : " (" + meaning + ")"),
                        "\"state\":" + std::to_string(state));
    }
    const bool success = pLogin->IsLoginSuccess();
    if (success != m_bLastSuccess) {
        m_bLastSuccess = success;
        m_report.Record("progress", Stamp() + (success ? " logged in" : " not logged in"),
                        std::string("\"login\":") + (success ? "true" : "false"));
    }
}
