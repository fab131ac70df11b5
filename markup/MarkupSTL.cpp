// CMarkupSTL: documents in, navigation over the index, element texts out.
#include "markup/MarkupSTL.h"

#include "markup/MarkupScan.h"
#include "markup/MarkupText.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

using namespace markup;

CMarkupSTL::CMarkupSTL() {
    SetDoc(nullptr);
}

CMarkupSTL::~CMarkupSTL() = default;

bool CMarkupSTL::SetDoc(const char* doc) {
    if (doc) {
        m_strDoc.assign(doc);
    } else {
        m_strDoc.clear();
    }
    return Parse();
}

bool CMarkupSTL::SetDoc(std::string doc) {
    const std::size_t nul = doc.find('\0');
    if (nul != std::string::npos) doc.resize(nul);
    m_strDoc = std::move(doc);
    return Parse();
}

bool CMarkupSTL::LoadDoc(const char* path) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::string text;
    bool read = false;
    if (path) {
        std::unique_ptr<std::FILE, Closer> file(std::fopen(path, "rb"));
        if (file && std::fseek(file.get(), 0, SEEK_END) == 0) {
            const long size = std::ftell(file.get());
            // Offsets are 32-bit, so a larger file could not be parsed anyway; a directory or a
            // stream may also report a size that is no size at all.
            if (size > 0 && size < std::numeric_limits<std::int32_t>::max() &&
                std::fseek(file.get(), 0, SEEK_SET) == 0) {
                text.resize(static_cast<std::size_t>(size));
                read = std::fread(&text[0], 1, text.size(), file.get()) == text.size();
            }
        }
    }
    if (read && SetDoc(std::move(text))) return true;
    SetDoc(nullptr);
    return false;
}

bool CMarkupSTL::HasRootElem() const {
    return !m_index.empty() && m_index[0].iFirstChild != 0;
}

bool CMarkupSTL::FindElem(const char* name) {
    if (m_index.empty()) return false;
    std::int32_t at = m_iCurrent ? m_index[m_iCurrent].iNext : m_index[m_iParent].iFirstChild;
    if (name && *name) {
        const char* const doc = m_strDoc.c_str();
        while (at != 0 && !NameMatches(doc + m_index[at].iStartL + 1, name)) at = m_index[at].iNext;
    }
    if (at == 0) return false;
    m_iCurrent = at;
    m_iParent = m_index[at].iParent;
    m_iChild = 0;
    m_nNodeKind = kNodeElement;
    return true;
}

bool CMarkupSTL::IntoElem() {
    if (m_iCurrent == 0 || m_nNodeKind != kNodeElement) return false;
    m_iParent = m_iCurrent;
    m_iCurrent = m_iChild;
    m_iChild = 0;
    m_nNodeKind = m_iCurrent ? kNodeElement : 0;
    return true;
}

bool CMarkupSTL::LeaveElem() {
    if (m_iParent == 0) return false;
    m_iChild = m_iCurrent;
    m_iCurrent = m_iParent;
    m_iParent = m_index[m_iParent].iParent;
    m_nNodeKind = kNodeElement;
    return true;
}

void CMarkupSTL::ResetLevelPos() {
    m_iCurrent = 0;
    m_iChild = 0;
    m_nNodeKind = 0;
}

bool CMarkupSTL::FindSubElem(const char* name) {
    if (m_index.empty()) return false;
    if (m_iCurrent == 0) FindElem(nullptr);
    std::int32_t at = m_iChild ? m_index[m_iChild].iNext : m_index[m_iCurrent].iFirstChild;
    if (name && *name) {
        const char* const doc = m_strDoc.c_str();
        while (at != 0 && !NameMatches(doc + m_index[at].iStartL + 1, name)) at = m_index[at].iNext;
    }
    if (at == 0) return false;
    m_iChild = at;
    m_iCurrent = m_index[at].iParent;
    m_iParent = m_index[m_iCurrent].iParent;
    m_nNodeKind = m_iCurrent ? kNodeElement : 0;
    return true;
}

std::string CMarkupSTL::GetElemData() const {
    return ElemData(m_iCurrent);
}

std::string CMarkupSTL::GetSubElemData() const {
    return ElemData(m_iChild);
}

std::string CMarkupSTL::ElemData(std::int32_t entry) const {
    if (entry == 0) return {};
    const ElemEntry& e = m_index[entry];
    if (e.iFirstChild != 0 || e.iStartR == e.iEndL + 1) return {};
    const char* const doc = m_strDoc.c_str();
    // A CDATA section that opens the content (after white space) is its text, taken raw.
    std::int32_t at = e.iStartR + 1;
    while (Is(doc[at], kSpace)) ++at;  // stops at the end tag's '<' at the latest
    static const char kOpen[] = "<![CDATA[";
    constexpr std::int32_t kOpenLen = sizeof kOpen - 1;
    if (doc[at] == '<' && at + 11 < e.iEndL && std::memcmp(doc + at, kOpen, kOpenLen) == 0) {
        const std::int32_t from = at + kOpenLen;
        const auto len = static_cast<std::int32_t>(m_strDoc.size());
        const std::int32_t close = FindSeq(doc, len, from, e.iEndL, "]]>", 3);
        if (close >= 0) return std::string(doc + from, static_cast<std::size_t>(close - from));
    }
    const std::int32_t first = e.iStartR + 1;
    const auto length = static_cast<std::size_t>(e.iEndL - first);
    if (!std::memchr(doc + first, '&', length)) return std::string(doc + first, length);
    return TextFromDoc(doc, first, e.iEndL - 1);
}
