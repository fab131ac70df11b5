#include "AtChannel.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

bool IsUnsolicited(const std::string& line) {
    static const char* const kPrefixes[] = {
        "^",      "+CREG:", "+CGREG:", "+CEREG:", "RING",       "+CRING:", "+CMTI:",
        "+CMT:",  "+CBM:",  "+CDS:",   "+CDSI:",  "+CUSD:",     "+CIEV:",  "+CLIP:",
        "+CGEV:", "+PACSP", "+STIN:",  "+QIND:",  "NO CARRIER",
    };
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](const char* p) { return StartsWith(line, p); });
}

bool TakeLine(const std::string& line, const std::string& command, AtReply& reply) {
    if (line.empty() || line == command || IsUnsolicited(line)) return false;
    if (line == "OK") {
        reply.final = AtReply::Final::kOk;
        return true;
    }
    if (line == "ERROR" || line == "COMMAND NOT SUPPORT") {
        reply.final = AtReply::Final::kError;
        return true;
    }
    for (const char* prefix : {"+CME ERROR:", "+CMS ERROR:"}) {
        if (!StartsWith(line, prefix)) continue;
        const std::string number = line.substr(std::char_traits<char>::length(prefix));
        char* end = nullptr;
        const long n = std::strtol(number.c_str(), &end, 10);
        // A device in verbose mode names the error instead: it counts as a plain error.
        if (end == number.c_str() || n < 0 || n > 65535) {
            reply.final = AtReply::Final::kError;
        } else {
            reply.final = AtReply::Final::kCmeError;
            reply.cme = static_cast<int>(n);
        }
        return true;
    }
    reply.lines.push_back(line);
    return false;
}

AtReply AtChannel::Command(const std::string& command, Clock::time_point deadline) {
    AtReply reply;
    // An answer that came too late for the command before must not pass for this one's.
    m_port.DropInput();
    const int writeMs = static_cast<int>(std::max<int64_t>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
    if (!m_port.Write(command + "\r", writeMs)) {
        reply.final = AtReply::Final::kGone;
        return reply;
    }
    std::string pending;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            reply.final = AtReply::Final::kNoAnswer;
            return reply;
        }
        if (!m_port.Read(pending, static_cast<int>(left))) {
            reply.final = AtReply::Final::kGone;
            return reply;
        }
        for (size_t end; (end = pending.find_first_of("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (TakeLine(line, command, reply)) return reply;
        }
    }
}
