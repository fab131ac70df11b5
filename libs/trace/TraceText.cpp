#include "TraceText.h"

#include <cstdio>

namespace {

// The escaped form of one byte; empty when it stands for itself.
std::string Escape(unsigned char c) {
    switch (c) {
        case '\r':
            return "\\r";
        case '\n':
            return "\\n";
        case '\t':
            return "\\t";
        default:
            break;
    }
    if (c >= 0x20 && c != 0x7F) return {};
    char buf[5];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    return buf;
}

}  // namespace

std::string TraceSafeText(const std::string& text, size_t maxBytes) {
    std::string out;
    out.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    for (const char ch : text) {
        const std::string escaped = Escape(static_cast<unsigned char>(ch));
        const size_t width = escaped.empty() ? 1 : escaped.size();
        if (out.size() + width > maxBytes)
            return out + " ...[cut, " + std::to_string(text.size()) + " bytes]";
        if (escaped.empty())
            out += ch;
        else
            out += escaped;
    }
    return out;
}
