// Byte classes and the tag tokenizer shared by the parser and the navigation of CMarkupSTL.
// Internal to the markup library.
#pragma once

#include <array>
#include <cstdint>

namespace markup {

enum CharClass : std::uint8_t {
    kSpace = 1,    // " \t\n\r", skipped before a token and before element text
    kDelim = 2,    // ends a token: the spaces, "<>=\/?!" and NUL
    kNameEnd = 4,  // may follow a requested name that matched a whole tag name: NUL and " =/["
};

constexpr std::array<std::uint8_t, 256> MakeCharClasses() {
    std::array<std::uint8_t, 256> table{};
    for (const char* p = " \t\n\r"; *p; ++p) table[static_cast<unsigned char>(*p)] |= kSpace;
    for (const char* p = " \t\n\r<>=\\/?!"; *p; ++p)
        table[static_cast<unsigned char>(*p)] |= kDelim;
    for (const char* p = " =/["; *p; ++p) table[static_cast<unsigned char>(*p)] |= kNameEnd;
    table[0] |= kDelim | kNameEnd;
    return table;
}

inline constexpr std::array<std::uint8_t, 256> kCharClasses = MakeCharClasses();

inline bool Is(char c, CharClass cls) {
    return kCharClasses[static_cast<unsigned char>(c)] & cls;
}

// Node kinds. The reader's current node is either an element or nothing; the markup kinds are
// what ParseNode recognises between elements.
enum NodeKind : std::int32_t {
    kNodeElement = 1,
    kNodeText = 2,
    kNodeWhitespace = 4,
    kNodeCData = 8,
    kNodeProcessingInstruction = 16,
    kNodeComment = 32,
    kNodeDocType = 64,
};

// One token inside a tag: a name, a single delimiter byte, or a quoted string (without quotes).
struct Token {
    const char* doc;         // the document, NUL-terminated
    std::int32_t len;        // its length
    std::int32_t left = 0;   // first byte
    std::int32_t right = 0;  // last byte (inclusive); left - 1 for an empty quoted string
    std::int32_t next = 0;   // where the next token is looked for
    bool quoted = false;

    Token(const char* text, std::int32_t length, std::int32_t from)
        : doc(text), len(length), next(from) {}
    std::int32_t Length() const { return right - left + 1; }
};

// Reads the token at tok.next and advances tok.next past it. False at the end of the text.
inline bool FindToken(Token& tok) {
    const char* doc = tok.doc;
    std::int32_t i = tok.next;
    tok.quoted = false;
    while (Is(doc[i], kSpace)) ++i;
    if (i >= tok.len) {
        tok.left = tok.right = tok.next = i;
        return false;
    }
    const char c = doc[i];
    if (c == '"' || c == '\'') {
        tok.quoted = true;
        tok.left = ++i;
        while (i < tok.len && doc[i] != c) ++i;
        tok.right = i - 1;
        tok.next = i < tok.len ? i + 1 : i;
        return true;
    }
    tok.left = i;
    while (!Is(doc[i], kDelim)) ++i;  // the NUL after the text is a delimiter
    if (i == tok.left) ++i;           // a delimiter on its own is a token
    tok.right = i - 1;
    tok.next = i;
    return true;
}

// Kind of the "<?" or "<!" construct whose '<' is at offset lt, and in next the offset just
// after it; 0 when it is not one or is not closed.
std::int32_t ParseNode(const char* doc, std::int32_t len, std::int32_t lt, std::int32_t& next);

// Offset of the first occurrence of pat (patLen >= 1 bytes) that starts at or after from and
// before limit; -1 when there is none. Linear: each byte is looked at a bounded number of times.
std::int32_t FindSeq(const char* doc, std::int32_t len, std::int32_t from, std::int32_t limit,
                     const char* pat, std::int32_t patLen);

}  // namespace markup
