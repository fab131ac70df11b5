// Entity decoding of element text.
#include "markup/MarkupText.h"

#include <cassert>
#include <cstring>

namespace markup {

namespace {

// Character numbers are written as UTF-8 of at most three bytes: numbers above 0xFFFF keep only
// their low 16 bits, and negative ones become a single byte.
char* PutUtf8(char* out, long v) {
    if (v < 0x80) {
        *out++ = static_cast<char>(v);
    } else if (v < 0x800) {
        *out++ = static_cast<char>(((v >> 6) & 0x1F) | 0xC0);
        *out++ = static_cast<char>((v & 0x3F) | 0x80);
    } else {
        *out++ = static_cast<char>(((v >> 12) & 0x0F) | 0xE0);
        *out++ = static_cast<char>(((v >> 6) & 0x3F) | 0x80);
        *out++ = static_cast<char>((v & 0x3F) | 0x80);
    }
    return out;
}

// The longest character reference decoded: at most 7 digits before the ';'.
constexpr int kMaxRefDigits = 7;

// What strtol gives for the text at s in the "C" locale, for texts of a few digits (no
// overflow): white space, a sign, for base 16 an optional 0x, then digits up to the first other
// byte. Written out because the library call, which consults the locale, costs more than the
// rest of the decoding.
long ReadLong(const char* s, int base) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    auto digit = [base](char c) {
        int d = 99;
        if (c >= '0' && c <= '9') d = c - '0';
        if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
        if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
        return d < base ? d : -1;
    };
    if (base == 16 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && digit(s[2]) >= 0) s += 2;
    long value = 0;
    for (int d; (d = digit(*s)) >= 0; ++s) value = value * base + d;
    return negative ? -value : value;
}

// The character reference at p ("&#..."): its value, and in next where scanning goes on; false
// when no ';' follows within reach. The ';' may lie past the text being decoded; only the
// document's end stops the search.
bool ReadCharRef(const char* p, long& value, const char*& next) {
    const char* digits = p + 2;
    int base = 10;
    if (*digits == 'x') {
        base = 16;
        ++digits;
    }
    for (int k = 0; k <= kMaxRefDigits; ++k) {
        const char c = digits[k];
        if (c == ';') {
            // The ';' stops the conversion, so it reads nothing past the reference.
            value = ReadLong(digits, base);
            next = digits + k + 1;
            return true;
        }
        if (c == '\0') break;
    }
    return false;
}

// The predefined entity at p ("&..."), if its whole text ends before end: its character, and its
// length in n; 0 otherwise.
char ReadEntity(const char* p, const char* end, int& n) {
    auto is = [&](const char* text, int len) {
        if (p + len >= end) return false;
        for (int k = 0; k < len; ++k) {
            if (p[1 + k] != text[k]) return false;
        }
        n = len + 1;
        return true;
    };
    switch (p[1]) {
        case 'l':
            return is("lt;", 3) ? '<' : 0;
        case 'g':
            return is("gt;", 3) ? '>' : 0;
        case 'a':
            if (is("amp;", 4)) return '&';
            return is("apos;", 5) ? '\'' : 0;
        case 'q':
            return is("quot;", 5) ? '"' : 0;
        default:
            return 0;
    }
}

}  // namespace

std::string TextFromDoc(const char* doc, std::int32_t first, std::int32_t last) {
    if (first > last) return std::string();
    const char* p = doc + first;
    const char* const end = doc + last + 1;
    // A reference never writes more bytes than it takes, except the last one, which may end past
    // the text: three bytes of room cover it.
    std::string out(static_cast<std::size_t>(end - p) + 3, '\0');
    char* w = &out[0];
    while (p < end) {
        if (*p != '&') {  // runs between references are short: a plain loop beats library calls
            *w++ = *p++;
            continue;
        }
        long value = 0;
        int n = 0;
        if (p[1] == '#') {
            if (ReadCharRef(p, value, p)) {
                w = PutUtf8(w, value);
                continue;
            }
        } else if (const char c = ReadEntity(p, end, n)) {
            *w++ = c;
            p += n;
            continue;
        }
        *w++ = '&';  // not a reference: the '&' stands for itself
        ++p;
    }
    assert(w <= out.data() + out.size());
    out.resize(static_cast<std::size_t>(w - out.data()));
    return out;
}

}  // namespace markup
