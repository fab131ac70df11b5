#include "AtChannel.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "AtReplies.h"

namespace {

// How long one wait for input lasts at most, so that a cancel is seen soon.
constexpr std::chrono::milliseconds kReadSlice(100);

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
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
        "^",     "+CREG:", "+CGREG:", "+CEREG:", "RING",   "+CRING:", "+CMTI:", "+CMT:",  "+CBM:",
        "+CDS:", "+CDSI:", "+CUSD:",  "+CIEV:",  "+CLIP:", "+CGEV:",  "+PACSP", "+STIN:", "+QIND:",
    };
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](const char* p) { return StartsWith(line, p); });
}

bool TakeLine(const std::string& raw, const std::string& command, AtReply& reply) {
    const std::string line = Trimmed(raw);
    if (line.empty() || line == command || IsUnsolicited(line)) return false;
    const std::string upper = Upper(line);
    // A modem in numeric mode answers 0 for OK and 4 for ERROR.
    if (upper == "OK" || upper == "0") {
        reply.final = AtReply::Final::kOk;
        return true;
    }
    static const char* const kRefusals[] = {
        "ERROR",      "4",    "COMMAND NOT SUPPORT", "TOO MANY PARAMETERS", "NA",
        "NO CARRIER", "BUSY", "NO ANSWER",           "NO DIALTONE",
    };
    if (std::find(std::begin(kRefusals), std::end(kRefusals), upper) != std::end(kRefusals)) {
        reply.final = AtReply::Final::kError;
        return true;
    }
    // Only +CME ERROR numbers the SIM's states; the others say a device error of some kind.
    static const char* const kNumbered[] = {
        "+CME ERROR:", "+CMS ERROR:", "+EXT ERROR:", "MODEM ERROR:"};
    for (const char* prefix : kNumbered) {
        if (!StartsWith(upper, prefix)) continue;
        reply.final = AtReply::Final::kCmeError;
        reply.cme = -1;
        if (prefix != kNumbered[0]) return true;
        const std::string number = Trimmed(line.substr(std::char_traits<char>::length(prefix)));
        char* end = nullptr;
        const long n = std::strtol(number.c_str(), &end, 10);
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

bool AtReplyReader::Feed(const std::string& bytes) {
    m_nBytes += bytes.size();
    if (m_nBytes > m_limits.maxBytes) {
        m_reply.final = AtReply::Final::kFlooded;
        return true;
    }
    m_reader.Feed(bytes);
    for (std::string line; m_reader.Next(line);) {
        if (!Trimmed(line).empty() && ++m_nLines > m_limits.maxLines) {
            m_reply.final = AtReply::Final::kFlooded;
            return true;
        }
        if (TakeLine(line, m_command, m_reply)) return true;
    }
    return false;
}

AtReply AtReplyReader::Unended() const {
    AtReply reply = m_reply;
    reply.final = Answered() ? AtReply::Final::kAnswered : AtReply::Final::kNoAnswer;
    return reply;
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
    AtReplyReader reader(command, m_limits);
    auto lastByte = Clock::now();
    std::string bytes;
    for (;;) {
        const auto now = Clock::now();
        const auto quietEnd = lastByte + m_limits.quiet;
        if ((reader.Answered() && now >= quietEnd) || now >= deadline) return reader.Unended();
        if (Cancelled()) {
            reply.final = AtReply::Final::kCancelled;
            return reply;
        }
        auto wait = std::min<Clock::duration>(deadline - now, kReadSlice);
        if (reader.Answered()) wait = std::min<Clock::duration>(wait, quietEnd - now);
        bytes.clear();
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
        if (!m_port.Read(bytes, static_cast<int>(std::max<int64_t>(1, waitMs)))) {
            reply.final = AtReply::Final::kGone;
            return reply;
        }
        if (bytes.empty()) continue;
        lastByte = Clock::now();
        if (reader.Feed(bytes)) return reader.Reply();
    }
}
