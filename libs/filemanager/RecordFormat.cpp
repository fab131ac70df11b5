#include "RecordFormat.h"

#include <array>
#include <cstring>

namespace record_format {
namespace {

const char kMagic[4] = {'L', 'P', 'R', 'F'};
constexpr uint16_t kVersion = 1;
constexpr size_t kFixedHeaderBytes = 16;
constexpr size_t kFieldEntryBytes = kNameBytes + 4;
constexpr size_t kChecksumBytes = 4;

void PutU16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint16_t GetU16(const std::string& in, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(in[at]) |
                                 static_cast<unsigned char>(in[at + 1]) << 8);
}

uint32_t GetU32(const std::string& in, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[at + i]);
    return v;
}

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

uint32_t Crc32(const void* data, size_t size) {
    const auto& table = CrcTable();
    const auto* p = static_cast<const unsigned char*>(data);
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string Encode(const RecordFileData& data) {
    std::string out(kMagic, sizeof kMagic);
    PutU16(out, kVersion);
    PutU16(out, static_cast<uint16_t>(data.fields.size()));
    PutU32(out, static_cast<uint32_t>(data.records.size()));
    PutU32(out, data.RecordSize());
    for (const auto& field : data.fields) {
        std::string name(field.name);
        name.resize(kNameBytes, '\0');
        out += name;
        PutU32(out, field.size);
    }
    for (const auto& record : data.records) out += record;
    PutU32(out, Crc32(out.data(), out.size()));
    return out;
}

bool Decode(const std::string& bytes, RecordFileData& data, std::string& reason) {
    data = RecordFileData();
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        reason = "not a record file";
        return false;
    }
    if (bytes.size() > kMaxFileBytes) {
        reason = "too large";
        return false;
    }
    if (bytes.size() < kFixedHeaderBytes + kChecksumBytes) {
        reason = "truncated";
        return false;
    }
    if (GetU16(bytes, 4) != kVersion) {
        reason = "unknown version";
        return false;
    }
    const size_t fieldCount = GetU16(bytes, 6);
    const uint64_t recordCount = GetU32(bytes, 8);
    const uint32_t recordSize = GetU32(bytes, 12);
    if (fieldCount > kMaxFields || (recordSize == 0 && recordCount != 0)) {
        reason = "bad field table";
        return false;
    }
    const size_t headerBytes = kFixedHeaderBytes + fieldCount * kFieldEntryBytes;
    // Checked in 64 bits: the counts come from the file.
    const uint64_t expected = headerBytes + recordCount * recordSize + kChecksumBytes;
    if (expected != bytes.size()) {
        reason = expected > bytes.size() ? "truncated" : "wrong length";
        return false;
    }
    const uint32_t stored = GetU32(bytes, bytes.size() - kChecksumBytes);
    if (Crc32(bytes.data(), bytes.size() - kChecksumBytes) != stored) {
        reason = "checksum mismatch";
        return false;
    }
    RecordFileData parsed;
    uint64_t sum = 0;
    for (size_t i = 0; i < fieldCount; ++i) {
        const size_t at = kFixedHeaderBytes + i * kFieldEntryBytes;
        const char* name = bytes.data() + at;
        const size_t length = strnlen(name, kNameBytes);
        const uint32_t size = GetU32(bytes, at + kNameBytes);
        if (length == 0 || length == kNameBytes || size == 0 || size > kMaxFieldSize) {
            reason = "bad field table";
            return false;
        }
        parsed.fields.push_back({std::string(name, length), size});
        sum += size;
    }
    if (sum != recordSize) {
        reason = "bad field table";
        return false;
    }
    parsed.records.reserve(static_cast<size_t>(recordCount));
    for (uint64_t r = 0; r < recordCount; ++r)
        parsed.records.push_back(bytes.substr(headerBytes + r * recordSize, recordSize));
    data = std::move(parsed);
    return true;
}

}  // namespace record_format

uint32_t RecordFileData::RecordSize() const {
    uint32_t size = 0;
    for (const auto& field : fields) size += field.size;
    return size;
}

uint32_t RecordFileData::FieldOffset(size_t index) const {
    uint32_t offset = 0;
    for (size_t i = 0; i < index && i < fields.size(); ++i) offset += fields[i].size;
    return offset;
}
