// The XML reader is a library: the shared layer above it is out of its sight.
#include "global/Clock.h"
