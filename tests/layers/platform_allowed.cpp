// The platform layer sees its own headers.
#include "platform/url.h"
