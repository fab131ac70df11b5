// The on-disk form of a record file, all numbers little-endian:
//
//   magic "LPRF" | version u16 (1) | field count u16 | record count u32 | record size u32
//   field table: per field, its name (32 bytes, zero-padded, at least one zero) and size u32
//   records: record count times record size bytes, each field's text zero-padded to its size
//   CRC-32 (IEEE) of every byte before it, u32
//
// The file is exactly as long as its header says; anything else is a damaged file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RecordField {
    std::string name;
    uint32_t size;
};

struct RecordFileData {
    std::vector<RecordField> fields;
    // Each record is RecordSize() bytes.
    std::vector<std::string> records;

    uint32_t RecordSize() const;
    uint32_t FieldOffset(size_t index) const;
};

namespace record_format {

constexpr size_t kNameBytes = 32;
constexpr size_t kMaxFields = 64;
constexpr uint32_t kMaxFieldSize = 64 * 1024;
// Nothing stored this way is large; a bigger file is not one of ours.
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

std::string Encode(const RecordFileData& data);
// False with a short reason when the bytes are not a whole, intact record file.
bool Decode(const std::string& bytes, RecordFileData& data, std::string& reason);
uint32_t Crc32(const void* data, size_t size);

}  // namespace record_format
