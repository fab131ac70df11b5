// The platform layer is the lowest: it sees no library above it.
#include "libs/trace/Trace.h"
