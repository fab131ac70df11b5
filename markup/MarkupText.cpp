// Entity decoding of element text.
#include "markup/MarkupText.h"

#include <cstdlib>
#include <cstring>

namespace markup {

namespace {

// Character numbers are written as UTF-8 of at most three bytes: numbers above 0xFFFF keep only
// their low 16 bits, and negative ones become a single byte.
void AppendUtf8(std::string& out, long v) {
    if (v < 0x80) {
        out += static_cast<char>(v);
    } else if (v < 0x800) {
        out += static_cast<char>(((v >> 6) & 0x1F) | 0xC0);
        out += static_cast<char>((v & 0x3F) | 0x80);
    } else {
        out += static_cast<char>(((v >> 12) & 0x0F) | 0xE0);
        out += static_cast<char>(((v >> 6) & 0x3F) | 0x80);
        out += static_cast<char>((v & 0x3F) | 0x80);
    }
}

struct Entity {
    const char* text;  // after the '&', with the ';'
    std::int32_t len;
    char value;
};
constexpr Entity kEntities[] = {
    {"lt;", 3, '<'}, {"amp;", 4, '&'}, {"gt;", 3, '>'}, {"apos;", 5, '\''}, {"quot;", 5, '"'},
};

// The longest character reference decoded: at most 7 digits before the ';'.
constexpr std::int32_t kMaxRefDigits = 7;

}  // namespace

std::string TextFromDoc(const char* doc, std::int32_t first, std::int32_t last) {
    std::string out;
    if (first > last) return out;
    out.reserve(static_cast<std::size_t>(last - first + 1));
    std::int32_t i = first;
    while (i <= last) {
        const void* amp = std::memchr(doc + i, '&', static_cast<std::size_t>(last - i + 1));
        if (!amp) {
            out.append(doc + i, static_cast<std::size_t>(last - i + 1));
            break;
        }
        const auto at = static_cast<std::int32_t>(static_cast<const char*>(amp) - doc);
        out.append(doc + i, static_cast<std::size_t>(at - i));
        i = at;

        if (doc[i + 1] == '#') {
            std::int32_t digits = i + 2;
            int base = 10;
            if (doc[digits] == 'x') {
                base = 16;
                ++digits;
            }
            // The ';' may lie beyond last; only the document's end stops the search.
            std::int32_t semi = -1;
            for (std::int32_t k = 0; k <= kMaxRefDigits; ++k) {
                const char c = doc[digits + k];
                if (c == ';') {
                    semi = digits + k;
                    break;
                }
                if (c == '\0') break;
            }
            if (semi < 0) {
                out += '&';
                ++i;
                continue;
            }
            // The ';' stops the conversion, so it reads nothing past the reference.
            AppendUtf8(out, std::strtol(doc + digits, nullptr, base));
            i = semi + 1;
            continue;
        }

        bool named = false;
        for (const Entity& e : kEntities) {
            if (i + e.len <= last &&
                std::memcmp(doc + i + 1, e.text, static_cast<std::size_t>(e.len)) == 0) {
                out += e.value;
                i += e.len + 1;
                named = true;
                break;
            }
        }
        if (!named) {
            out += '&';
            ++i;
        }
    }
    return out;
}

}  // namespace markup
