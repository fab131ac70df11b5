// Storage of the element index.
#include "markup/MarkupSTL.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

CMarkupSTL::Index::Index(const Index& other) {
    *this = other;
}

CMarkupSTL::Index& CMarkupSTL::Index::operator=(const Index& other) {
    if (this != &other) {
        if (m_nSize < other.m_nSize) Grow(other.m_nSize);
        if (other.m_nSize) {
            std::memcpy(m_pEntries, other.m_pEntries, other.m_nSize * sizeof(ElemEntry));
        }
    }
    return *this;
}

CMarkupSTL::Index::~Index() {
    std::free(m_pEntries);
}

void CMarkupSTL::Index::Grow(std::size_t entries) {
    static_assert(std::is_trivially_copyable<ElemEntry>::value,
                  "index entries are moved by realloc and memcpy");
    if (entries <= m_nSize) return;
    void* grown = std::realloc(m_pEntries, entries * sizeof(ElemEntry));
    if (!grown) throw std::bad_alloc();
    m_pEntries = static_cast<ElemEntry*>(grown);
    m_nSize = entries;
}
