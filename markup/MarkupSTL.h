// CMarkupSTL: a small non-validating reader of one XML document held in memory.
//
// The document is parsed once into a flat index of its elements (tag positions, parent, first
// child, next sibling); the caller then walks that index one level at a time and reads the text
// of single elements. Texts are 8-bit bytes; attributes are never read; nothing is written.
// One object per use, on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CMarkupSTL {
public:
    // Deepest nesting of elements that a document may have; a deeper one fails to parse with
    // "Elements nested deeper than 256 levels at <name>". The documents we read are three
    // levels deep, so this is generous, and it stops a hostile document early: a run of a
    // million start tags fails after 256 of them instead of filling an index that would be
    // thrown away. It also bounds the parser's small stack of open element names.
    static constexpr int kMaxDepth = 256;

    CMarkupSTL();
    virtual ~CMarkupSTL();

    // Replaces the document and parses it; a null text is an empty document. The document ends
    // at its first NUL byte. True when a root element was parsed.
    bool SetDoc(const char* doc);
    bool SetDoc(std::string doc);
    // Reads the whole file as raw bytes and parses it; on any failure the document is empty.
    bool LoadDoc(const char* path);
    bool LoadDoc(const std::string& path) { return LoadDoc(path.c_str()); }

    bool HasRootElem() const;

    // Moves to the next element of the current level whose name matches; a null or empty name
    // matches any element.
    bool FindElem(const char* name = nullptr);
    bool FindElem(const std::string& name) { return FindElem(name.c_str()); }
    // Makes the current element the level searched next.
    bool IntoElem();
    // Returns to the parent level; the element that was entered becomes current again.
    bool LeaveElem();
    // The next FindElem searches the current level from its first element.
    void ResetLevelPos();
    // Finds the next matching child of the current element without descending.
    bool FindSubElem(const char* name = nullptr);
    bool FindSubElem(const std::string& name) { return FindSubElem(name.c_str()); }

    // Text content of the current element / of the current child element.
    std::string GetElemData() const;
    std::string GetSubElemData() const;
    // Text of the last parse error; never cleared by a later successful parse.
    std::string GetError() const { return m_strError; }

private:
    // One element: byte offsets of its tags in the document and its links in the tree.
    struct ElemEntry {
        std::int32_t iStartL;      // '<' opening the start tag
        std::int32_t iStartR;      // '>' closing the start tag
        std::int32_t iEndL;        // '<' opening the end tag; the '/' of an empty-element tag
        std::int32_t iEndR;        // '>' closing the end tag; iStartR for an empty-element tag
        std::int32_t iReserved;    // always 0
        std::int32_t iParent;      // 0 for the root element
        std::int32_t iFirstChild;  // 0 if none
        std::int32_t iNext;        // next sibling, 0 if none
    };

    // The element index: a plain array grown with realloc, which can often extend it in place
    // instead of copying it. Entries past the used ones are left uninitialised.
    class Index {
    public:
        Index() = default;
        Index(const Index& other);
        Index& operator=(const Index& other);
        ~Index();
        std::size_t size() const { return m_nSize; }
        bool empty() const { return m_nSize == 0; }
        ElemEntry& operator[](std::int32_t i) { return m_pEntries[i]; }
        const ElemEntry& operator[](std::int32_t i) const { return m_pEntries[i]; }
        // Resizes to `entries` (never fewer than now), keeping the contents.
        void Grow(std::size_t entries);

    private:
        ElemEntry* m_pEntries = nullptr;
        std::size_t m_nSize = 0;
    };

    bool Parse();
    std::int32_t ParseRoot();
    std::int32_t ReadEndTag(std::int32_t from, std::int32_t nameLeft, std::int32_t nameLen);
    std::int32_t NewEntry();
    std::int32_t Fail(const char* text);
    std::int32_t Fail(const char* text, std::int32_t nameLeft, std::int32_t nameLen);
    std::string ElemData(std::int32_t entry) const;

    std::string m_strDoc;
    std::string m_strError;
    Index m_index;
    std::int32_t m_iParent = 0;
    std::int32_t m_iCurrent = 0;
    std::int32_t m_iChild = 0;
    std::int32_t m_iFreeEntry = 1;
    std::int32_t m_nNodeKind = 0;
};
