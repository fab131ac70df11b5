// A promise a fuzz target checks: a broken one ends the run as a crash, which the fuzzer keeps.
#pragma once

#include <cstdlib>

inline void Check(bool condition) {
    if (!condition) std::abort();
}
