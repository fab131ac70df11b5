#include "AtChannel.h"

#include <algorithm>
#include <cstdlib>

#include "AtReplies.h"

namespace {

// How long one wait for input lasts at most, so that a cancel is seen soon.
constexpr int kReadSliceMs = 100;

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

void AtLineReader::Feed(const std::string& bytes) {
    m_pending += bytes;
}

bool AtLineReader::Next(std::string& line) {
    for (;;) {
        const size_t end = m_pending.find_first_of("\r\n", m_scanned);
        if (end == std::string::npos) {
            m_scanned = m_pending.size();
            if (m_pending.size() > kMaxLine) {
                m_pending.clear();
                m_scanned = 0;
                m_bDropping = true;
            }
            return false;
        }
        const bool bDropped = m_bDropping || end > kMaxLine;
        m_bDropping = false;
        if (!bDropped) line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        m_scanned = 0;
        if (!bDropped) return true;
    }
}

bool IsUnsolicited(const std::string& line) {
    static const char* const kPrefixes[] = {
        "^",      "+CREG:", "+CGREG:", "+CEREG:", "RING",       "+CRING:", "+CMTI:",
        "+CMT:",  "+CBM:",  "+CDS:",   "+CDSI:",  "+CUSD:",     "+CIEV:",  "+CLIP:",
        "+CGEV:", "+PACSP", "+STIN:",  "+QIND:",  "NO CARRIER",
    };
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](const char* p) { return StartsWith(line, p); });
}

bool TakeLine(const std::string& raw, const std::string& command, AtReply& reply) {
    const std::string line = Trimmed(raw);
    if (line.empty() || line == command || IsUnsolicited(line)) return false;
    // A modem in numeric mode answers 0 for OK and 4 for ERROR.
    if (line == "OK" || line == "0") {
        reply.final = AtReply::Final::kOk;
        return true;
    }
    if (line == "ERROR" || line == "4" || line == "COMMAND NOT SUPPORT") {
        reply.final = AtReply::Final::kError;
        return true;
    }
    for (const char* prefix : {"+CME ERROR:", "+CMS ERROR:"}) {
        if (!StartsWith(line, prefix)) continue;
        const std::string number = Trimmed(line.substr(std::char_traits<char>::length(prefix)));
        char* end = nullptr;
        const long n = std::strtol(number.c_str(), &end, 10);
        reply.final = AtReply::Final::kCmeError;
        if (end != number.c_str() && *end == '\0' && n >= 0 && n <= 65535) {
            reply.cme = static_cast<int>(n);
        } else {
            // A device in verbose mode names the error instead.
            reply.cme = CmeNumberOfText(number);
        }
        return true;
    }
    reply.lines.push_back(line);
    return false;
}

AtReply AtChannel::Command(const std::string& command, Clock::time_point deadline) {
    AtReply reply;
    if (Cancelled()) {
        reply.final = AtReply::Final::kCancelled;
        return reply;
    }
    // An answer that came too late for the command before must not pass for this one's.
    m_port.DropInput();
    const int writeMs = static_cast<int>(std::max<int64_t>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
    if (!m_port.Write(command + "\r", writeMs)) {
        reply.final = AtReply::Final::kGone;
        return reply;
    }
    AtLineReader reader;
    std::string bytes;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            reply.final = AtReply::Final::kNoAnswer;
            return reply;
        }
        if (Cancelled()) {
            reply.final = AtReply::Final::kCancelled;
            return reply;
        }
        bytes.clear();
        if (!m_port.Read(bytes, static_cast<int>(std::min<int64_t>(left, kReadSliceMs)))) {
            reply.final = AtReply::Final::kGone;
            return reply;
        }
        reader.Feed(bytes);
        for (std::string line; reader.Next(line);) {
            if (TakeLine(line, command, reply)) return reply;
        }
    }
}
