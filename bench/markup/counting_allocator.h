// Peak heap use of a piece of code. The benchmark program replaces malloc and its family (which
// operator new and every library use), so every heap block is counted while a measurement runs.
#pragma once

#include <cstdint>
#include <functional>

namespace bench {

// Bytes of heap in use at the highest point while fn ran, above the level when it started
// (usable sizes of the blocks). Everything fn allocates must be freed by the time it returns.
std::int64_t PeakHeapBytes(const std::function<void()>& fn);

}  // namespace bench
