// Byte classes and the tag tokenizer shared by the parser and the navigation of CMarkupSTL.
// Internal to the markup library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace markup {

enum CharClass : std::uint8_t {
    kSpace = 1,    // " \t\n\r", skipped before a token and before element text
    kDelim = 2,    // ends a token: the spaces, "<>=\/?!" and NUL
    kNameEnd = 4,  // may follow a requested name that matched a whole tag name: NUL and " =/["
    kPlain = 8,    // starts a name token: neither a delimiter nor a quote
};

constexpr std::array<std::uint8_t, 256> MakeCharClasses() {
    std::array<std::uint8_t, 256> table{};
    for (const char* p = " \t\n\r"; *p; ++p) table[static_cast<unsigned char>(*p)] |= kSpace;
    for (const char* p = " \t\n\r<>=\\/?!"; *p; ++p)
        table[static_cast<unsigned char>(*p)] |= kDelim;
    for (const char* p = " =/["; *p; ++p) table[static_cast<unsigned char>(*p)] |= kNameEnd;
    table[0] |= kDelim | kNameEnd;
    for (int c = 0; c < 256; ++c) {
        if (!(table[c] & kDelim) && c != '"' && c != '\'') table[c] |= kPlain;
    }
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

// First delimiter at or after p (the NUL at the end of the text is one).
inline const char* SkipName(const char* p) {
    for (;;) {  // four bytes a round: names are short, tests are cheap
        if (Is(p[0], kDelim)) return p;
        if (Is(p[1], kDelim)) return p + 1;
        if (Is(p[2], kDelim)) return p + 2;
        if (Is(p[3], kDelim)) return p + 3;
        p += 4;
    }
}

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
    i = static_cast<std::int32_t>(SkipName(doc + i) - doc);
    if (i == tok.left) ++i;  // a delimiter on its own is a token
    tok.right = i - 1;
    tok.next = i;
    return true;
}

// The name rule. tag: the byte after a start tag's '<'; name: the requested name, not empty.
// The tag's name (the first token after the '<') matches when it equals the first bytes of the
// requested name and the requested name ends there or goes on with one of " =/[". So "main"
// matches <main> and so does "main x", but <mainx> and <ma> do not.
inline bool NameMatches(const char* tag, const char* name) {
    // Most tags tried are other elements: a different first byte settles it.
    if (*tag != *name && !Is(*tag, kSpace)) return false;
    while (Is(*tag, kSpace)) ++tag;
    std::size_t i = 0;
    // Equal bytes up to the end of the tag's name (the requested name's NUL never equals a
    // name byte, so it stops the loop too).
    while (tag[i] == name[i] && !Is(tag[i], kDelim)) ++i;
    if (!Is(tag[i], kDelim)) return false;
    if (i == 0) {  // the tag's name is a single delimiter byte, like <=>
        return name[0] == tag[0] && Is(name[1], kNameEnd);
    }
    return Is(name[i], kNameEnd);
}

// Kind of the "<?" or "<!" construct whose '<' is at offset lt, and in next the offset just
// after it; 0 when it is not one or is not closed.
std::int32_t ParseNode(const char* doc, std::int32_t len, std::int32_t lt, std::int32_t& next);

// Offset of the first occurrence of pat (patLen >= 1 bytes) that starts at or after from and
// before limit; -1 when there is none. Linear: each byte is looked at a bounded number of times.
std::int32_t FindSeq(const char* doc, std::int32_t len, std::int32_t from, std::int32_t limit,
                     const char* pat, std::int32_t patLen);

}  // namespace markup
