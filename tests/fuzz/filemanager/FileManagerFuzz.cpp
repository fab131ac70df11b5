// The record-file reader on arbitrary bytes. Half of the inputs get a correct checksum appended,
// so that the structural checks behind it are reached, not only the checksum test.
#include <cstdint>
#include <string>

#include "../FuzzCheck.h"
#include "libs/filemanager/RecordFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        const uint32_t crc = record_format::Crc32(bytes.data(), bytes.size());
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    }
    RecordFileData decoded;
    std::string reason;
    if (!record_format::Decode(bytes, decoded, reason)) {
        Check(!reason.empty());  // every refusal says why
        return 0;
    }
    // What was read must write back to a file that reads the same (padding may differ).
    RecordFileData again;
    Check(record_format::Decode(record_format::Encode(decoded), again, reason));
    Check(again.records == decoded.records && again.fields.size() == decoded.fields.size());
    for (size_t i = 0; i < again.fields.size(); ++i)
        Check(again.fields[i].name == decoded.fields[i].name &&
              again.fields[i].size == decoded.fields[i].size);
    for (size_t i = 0; i < decoded.fields.size(); ++i) (void)decoded.FieldOffset(i);
    return 0;
}
