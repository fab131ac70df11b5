// CFileManager over the record format: the whole file is read on Open and written anew, in one
// atomic replace, by every change. A file that cannot be read as a record file is taken as an
// empty one (and traced), so that a damaged file never stops the reader and the next write
// replaces it.
#include "FileManager.h"

#include <algorithm>
#include <cstring>

#include "RecordFormat.h"
#include "libs/trace/Trace.h"
#include "platform/atomic_file.h"

namespace {

constexpr TraceSite kTrace{"FileManager", "libs\\filemanager\\FileManager"};

class CRecord final : public IRecord {
public:
    CRecord(std::vector<RecordField> fields, std::string bytes, int index)
        : m_fields(std::move(fields)), m_bytes(std::move(bytes)), m_nIndex(index) {}

    long SetFieldValue(int index, const std::string& value) override {
        if (index < 0 || static_cast<size_t>(index) >= m_fields.size()) return -1;
        const uint32_t size = m_fields[index].size;
        // The text and its terminating zero must fit; a zero inside the text would cut it.
        if (value.size() >= size || value.find('\0') != std::string::npos) return -1;
        std::string slot(value);
        slot.resize(size, '\0');
        m_bytes.replace(Offset(index), size, slot);
        return 0;
    }

    long GetFieldValue(int index, std::string& value) override {
        if (index < 0 || static_cast<size_t>(index) >= m_fields.size()) return -1;
        const char* start = m_bytes.data() + Offset(index);
        value.assign(start, strnlen(start, m_fields[index].size));
        return 0;
    }

    void Release() override { delete this; }

    const std::vector<RecordField>& Fields() const { return m_fields; }
    const std::string& Bytes() const { return m_bytes; }
    int Index() const { return m_nIndex; }
    void SetIndex(int index) { m_nIndex = index; }

private:
    ~CRecord() = default;
    size_t Offset(int index) const {
        size_t offset = 0;
        for (int i = 0; i < index; ++i) offset += m_fields[i].size;
        return offset;
    }

    std::vector<RecordField> m_fields;
    std::string m_bytes;
    int m_nIndex;  // -1 until the record is in the file
};

bool SameLayout(const std::vector<RecordField>& a, const std::vector<RecordField>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const RecordField& x, const RecordField& y) {
                          return x.name == y.name && x.size == y.size;
                      });
}

}  // namespace

struct CFileManager::Impl {
    std::string path;
    bool bOpen = false;
    RecordFileData data;

    bool Save() const { return ReplaceFileAtomically(path, record_format::Encode(data)); }

    CRecord* Ours(IRecord* pRecord) const {
        auto* pOurs = dynamic_cast<CRecord*>(pRecord);
        return pOurs && SameLayout(pOurs->Fields(), data.fields) ? pOurs : nullptr;
    }
};

CFileManager::CFileManager() : m_pImpl(std::make_unique<Impl>()) {}

CFileManager::~CFileManager() = default;

long CFileManager::Open(const std::string& path) {
    Close();
    std::string bytes;
    switch (ReadFileContents(path, bytes, record_format::kMaxFileBytes)) {
        case FileReadResult::Failed:
            return -1;
        case FileReadResult::Missing:
            break;
        case FileReadResult::Ok: {
            std::string reason;
            if (!record_format::Decode(bytes, m_pImpl->data, reason)) {
                TRACE_AT(kTrace, TRACE_ERRO,
                         "Open(): " + path + " unreadable (" + reason + "), taken as empty");
                m_pImpl->data = RecordFileData();
            }
            break;
        }
    }
    m_pImpl->path = path;
    m_pImpl->bOpen = true;
    return 0;
}

unsigned CFileManager::GetRecordCount() const {
    return m_pImpl->bOpen ? static_cast<unsigned>(m_pImpl->data.records.size()) : 0;
}

long CFileManager::SetFieldInfo(const std::string& name, unsigned size) {
    auto& data = m_pImpl->data;
    if (!m_pImpl->bOpen || !data.records.empty() || name.empty() ||
        name.size() >= record_format::kNameBytes || name.find('\0') != std::string::npos ||
        size == 0 || size > record_format::kMaxFieldSize ||
        data.fields.size() >= record_format::kMaxFields)
        return -1;
    for (const auto& field : data.fields) {
        // Declaring the same field again (every start before the first record) changes nothing.
        if (field.name == name) return field.size == size ? 0 : -1;
    }
    data.fields.push_back({name, size});
    if (!m_pImpl->Save()) {
        data.fields.pop_back();
        return -1;
    }
    return 0;
}

IRecord* CFileManager::ReadRecord(int index) {
    const auto& data = m_pImpl->data;
    if (!m_pImpl->bOpen || index < 0 || static_cast<size_t>(index) >= data.records.size())
        return nullptr;
    return new CRecord(data.fields, data.records[index], index);
}

IRecord* CFileManager::CreateNewRecord() {
    const auto& data = m_pImpl->data;
    if (!m_pImpl->bOpen || data.fields.empty()) return nullptr;
    return new CRecord(data.fields, std::string(data.RecordSize(), '\0'), -1);
}

long CFileManager::AddRecord(IRecord* pRecord) {
    CRecord* pOurs = m_pImpl->bOpen ? m_pImpl->Ours(pRecord) : nullptr;
    if (!pOurs) return -1;
    auto& records = m_pImpl->data.records;
    records.push_back(pOurs->Bytes());
    if (!m_pImpl->Save()) {
        records.pop_back();
        return -1;
    }
    pOurs->SetIndex(static_cast<int>(records.size()) - 1);
    return 0;
}

long CFileManager::UpdateRecord(IRecord* pRecord) {
    CRecord* pOurs = m_pImpl->bOpen ? m_pImpl->Ours(pRecord) : nullptr;
    auto& records = m_pImpl->data.records;
    if (!pOurs || pOurs->Index() < 0 || static_cast<size_t>(pOurs->Index()) >= records.size())
        return -1;
    std::string previous = records[pOurs->Index()];
    records[pOurs->Index()] = pOurs->Bytes();
    if (!m_pImpl->Save()) {
        records[pOurs->Index()] = std::move(previous);
        return -1;
    }
    return 0;
}

void CFileManager::Close() {
    m_pImpl->bOpen = false;
    m_pImpl->path.clear();
    m_pImpl->data = RecordFileData();
}
