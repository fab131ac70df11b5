// A library never reaches up into the shared layer that uses it.
#include "global/GlobalAT.h"
