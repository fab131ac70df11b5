// The one-pass parse of CMarkupSTL: builds the element index from the document text.
//
// The parse is a loop, not a recursion: the index already records each element's parent, so
// closing an element is a step back up that link, and the only other state per open level is the
// element's name, kept in a fixed array of kMaxDepth entries. Every byte of the document is
// looked at a bounded number of times, and nothing is allocated but the index.
#include "markup/MarkupSTL.h"

#include "markup/MarkupScan.h"

#include <cstring>
#include <limits>

namespace markup {

std::int32_t FindSeq(const char* doc, std::int32_t len, std::int32_t from, std::int32_t limit,
                     const char* pat, std::int32_t patLen) {
    // Look for the pattern's last byte, then compare the bytes before it.
    const char last = pat[patLen - 1];
    std::int32_t lastEnd = limit + patLen - 1;  // one past the last byte a match may end on
    if (lastEnd > len) lastEnd = len;
    std::int32_t at = from + patLen - 1;
    while (at < lastEnd) {
        const void* hit = std::memchr(doc + at, last, static_cast<std::size_t>(lastEnd - at));
        if (!hit) return -1;
        const std::int32_t end = static_cast<std::int32_t>(static_cast<const char*>(hit) - doc);
        const std::int32_t start = end - (patLen - 1);
        if (std::memcmp(doc + start, pat, static_cast<std::size_t>(patLen - 1)) == 0) return start;
        at = end + 1;
    }
    return -1;
}

std::int32_t ParseNode(const char* doc, std::int32_t len, std::int32_t lt, std::int32_t& next) {
    if (lt + 2 >= len) return 0;  // "<?" and "<!" need two bytes after the '<'
    const char first = doc[lt + 1];
    const char second = doc[lt + 2];
    std::int32_t kind = 0;
    const char* close = nullptr;
    if (first == '?') {
        kind = kNodeProcessingInstruction;
        close = "?>";
    } else if (first == '!' && second == '[') {
        kind = kNodeCData;
        close = "]]>";
    } else if (first == '!' && second == '-') {
        kind = kNodeComment;
        close = "-->";
    } else if (first == '!') {
        // A declaration ends at the first '>' token outside quotes and outside its [ ] subset.
        Token tok(doc, len, lt + 2);
        int depth = 0;
        while (FindToken(tok)) {
            if (tok.quoted) continue;
            const char c = doc[tok.left];
            if (c == '[') {
                ++depth;
            } else if (c == ']') {
                --depth;
            } else if (c == '>' && depth == 0) {
                next = tok.next;
                return kNodeDocType;
            }
        }
        return 0;
    } else {
        return 0;  // not a "<?" or "<!" construct (e.g. "< ?")
    }
    // The search starts at the '<' itself, so "<?>" and "<!-->" close themselves.
    const std::int32_t closeLen = static_cast<std::int32_t>(std::strlen(close));
    const std::int32_t at = FindSeq(doc, len, lt, len, close, closeLen);
    if (at < 0) return 0;
    next = at + closeLen;
    return kind;
}

}  // namespace markup

using namespace markup;

namespace {
// Whether the n bytes at a and b are equal, for the short names of end tags. Names of up to 8
// bytes are compared as one masked 8-byte word, which needs 8 readable bytes at both places.
bool SameName(const char* a, const char* b, std::int32_t n, const char* end) {
    if (n > 8 || end - a < 8 || end - b < 8) {
        return std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
    }
    static const unsigned char kMask[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::uint64_t x, y, mask;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    std::memcpy(&mask, kMask + 8 - n, 8);  // n bytes of ones first in memory, whatever the order
    return ((x ^ y) & mask) == 0;
}

// Offsets are 32-bit; one byte is kept free for the terminating NUL.
constexpr std::size_t kMaxDocLength = std::numeric_limits<std::int32_t>::max() - 1;
// A formatted error text is cut to this many bytes.
constexpr std::size_t kMaxErrorLength = 299;
}  // namespace

bool CMarkupSTL::Parse() {
    m_iFreeEntry = 1;
    m_iParent = m_iCurrent = m_iChild = 0;
    m_nNodeKind = 0;
    const std::size_t length = m_strDoc.size();
    bool parsed = false;
    if (length > kMaxDocLength) {
        m_strError = "Document too large";
    } else {
        const std::size_t wanted = length / 64 + 8;
        m_index.Grow(wanted);
        if (length != 0) {
            m_index[0] = ElemEntry{};
            const std::int32_t root = ParseRoot();
            if (root > 0) {
                m_index[0].iFirstChild = root;
                parsed = true;
            }
        }
    }
    if (!parsed) {
        m_index.Grow(8);
        m_index[0] = ElemEntry{};
        m_iFreeEntry = 1;
    }
    m_iParent = m_iCurrent = m_iChild = 0;
    m_nNodeKind = 0;
    return parsed;
}

inline std::int32_t CMarkupSTL::NewEntry() {
    if (static_cast<std::size_t>(m_iFreeEntry) == m_index.size())
        m_index.Grow(m_index.size() + m_index.size() / 2);
    return m_iFreeEntry++;
}

std::int32_t CMarkupSTL::Fail(const char* text) {
    m_strError = text;
    return -1;
}

std::int32_t CMarkupSTL::Fail(const char* text, std::int32_t nameLeft, std::int32_t nameLen) {
    m_strError = text;
    m_strError.append(m_strDoc, static_cast<std::size_t>(nameLeft),
                      static_cast<std::size_t>(nameLen));
    if (m_strError.size() > kMaxErrorLength) m_strError.resize(kMaxErrorLength);
    return -1;
}

// Parses the first element of the document with everything inside it. Returns its entry, 0 when
// an end tag comes first, -1 on error (the error text is set).
std::int32_t CMarkupSTL::ParseRoot() {
    const char* const doc = m_strDoc.c_str();
    const auto len = static_cast<std::int32_t>(m_strDoc.size());
    struct Name {
        std::int32_t left;
        std::int32_t len;
    };
    Name open[kMaxDepth];  // names of the open elements, outermost first
    int depth = 0;
    std::int32_t parent = 0;  // innermost open element; 0 = the document
    std::int32_t last = 0;    // last complete child of parent, 0 = none yet
    std::int32_t scan = 0;

    for (;;) {
        std::int32_t lt = scan;
        if (doc[lt] != '<') {  // text first (the NUL at the end is not a '<' either)
            const void* found = std::memchr(doc + lt, '<', static_cast<std::size_t>(len - lt));
            if (!found) return Fail("Element tag not found");
            lt = static_cast<std::int32_t>(static_cast<const char*>(found) - doc);
        }
        // The first token after the '<': straight from the bytes in the usual "<name" and "</"
        // cases, else (spaces, quotes, delimiters, the end) through the tokenizer.
        std::int32_t tokLeft = lt + 1;
        std::int32_t tokNext;
        char c = doc[tokLeft];
        if (c == '/') {
            tokNext = tokLeft + 1;
        } else if (Is(c, kPlain)) {
            tokNext = static_cast<std::int32_t>(SkipName(doc + tokLeft + 1) - doc);
        } else {
            Token tok(doc, len, tokLeft);
            if (!FindToken(tok)) return Fail("Abrupt end within tag");
            if (tok.quoted) return Fail("Tag starts with quote");
            tokLeft = tok.left;
            tokNext = tok.next;
            c = doc[tokLeft];
        }

        if (c == '?' || c == '!') {
            if (!ParseNode(doc, len, lt, scan)) return Fail("Invalid node");
            continue;
        }

        if (c == '/') {
            if (parent == 0) return 0;  // an end tag where the root element was expected
            const Name& name = open[depth - 1];
            // Nearly every end tag is exactly "</name>"; anything else takes the long way.
            std::int32_t gt = tokNext + name.len;
            const bool exact = gt < len && doc[gt] == '>' &&
                               SameName(doc + tokNext, doc + name.left, name.len, doc + len);
            if (!exact) gt = ReadEndTag(tokNext, name.left, name.len);
            if (gt < 0) return -1;
            ElemEntry& done = m_index[parent];
            done.iEndL = lt;
            done.iEndR = gt;
            last = parent;
            parent = done.iParent;
            --depth;
            if (parent == 0) return last;  // the root element is complete
            scan = gt + 1;
            continue;
        }

        // A start tag: the token is the element's name.
        const std::int32_t nameLen = tokNext - tokLeft;
        static_assert(kMaxDepth == 256, "the error text names the bound");
        if (depth == kMaxDepth) {
            return Fail("Elements nested deeper than 256 levels at ", tokLeft, nameLen);
        }
        std::int32_t gt = tokNext;
        if (doc[gt] != '>') {  // attributes, spaces or a '/' before the '>'
            const void* close = std::memchr(doc + gt, '>', static_cast<std::size_t>(len - gt));
            if (!close) return Fail("End of tag not found");
            gt = static_cast<std::int32_t>(static_cast<const char*>(close) - doc);
        }

        const std::int32_t n = NewEntry();
        ElemEntry& elem = m_index[n];
        elem = ElemEntry{lt, gt, 0, 0, 0, parent, 0, 0};
        if (parent == 0) m_index[0].iEndL = lt;  // the top level's scan position
        if (last == 0) {
            m_index[parent].iFirstChild = n;
        } else {
            m_index[last].iNext = n;
        }

        if (doc[gt - 1] == '/') {  // <name ... />
            elem.iEndL = gt - 1;
            elem.iEndR = gt;
            if (parent == 0) return n;
            last = n;
        } else {
            elem.iEndL = gt + 1;
            open[depth++] = Name{tokLeft, nameLen};
            parent = n;
            last = 0;
        }
        scan = gt + 1;
    }
}

// Reads the rest of an end tag after its '/': the second token must name the element (a quoted
// one is not compared); a '>' outside quotes ends the tag. Returns the offset of that '>' or -1.
std::int32_t CMarkupSTL::ReadEndTag(std::int32_t from, std::int32_t nameLeft,
                                    std::int32_t nameLen) {
    const char* const doc = m_strDoc.c_str();
    Token tok(doc, static_cast<std::int32_t>(m_strDoc.size()), from);
    int count = 1;  // the '/'
    for (;;) {
        if (!FindToken(tok)) return Fail("End tag not completed for element ", nameLeft, nameLen);
        if (!tok.quoted && doc[tok.left] == '>') break;
        if (++count == 2 && !tok.quoted) {
            // The name rule, with the element's own name as the requested one.
            const std::int32_t n = tok.Length();
            const bool same =
                n <= nameLen &&
                std::memcmp(doc + tok.left, doc + nameLeft, static_cast<std::size_t>(n)) == 0 &&
                (n == nameLen || Is(doc[nameLeft + n], kNameEnd));
            if (!same) return Fail("End tag does not correspond to ", nameLeft, nameLen);
        }
    }
    if (count < 2) return Fail("End tag not completed for element ", nameLeft, nameLen);
    return tok.left;
}
