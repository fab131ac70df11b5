// The documents the benchmark parses, generated so that every run sees the same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct Document {
    std::string label;                // e.g. "table_200KB"
    std::string text;                 // the XML
    std::string root;                 // root element
    std::string record;               // repeated element under the root; empty: fields under root
    std::vector<std::string> fields;  // elements read in each record
};

// A login reply of about 2 KB.
Document MakeReply();
// A brand table of `records` cardtype records, about 100 bytes each.
Document MakeBrandTable(const std::string& label, std::size_t records);
// A brand table of at least `bytes` bytes whose texts carry entity and character references.
Document MakeBrandTableWithEntities(const std::string& label, std::size_t bytes);

}  // namespace bench
