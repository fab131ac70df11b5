// Entity decoding of element text. Internal to the markup library.
#pragma once

#include <cstdint>
#include <string>

namespace markup {

// The bytes doc[first..last] (inclusive) with character references and the five predefined
// entities decoded; empty when first > last. doc must be NUL-terminated.
std::string TextFromDoc(const char* doc, std::int32_t first, std::int32_t last);

}  // namespace markup
