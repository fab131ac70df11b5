// The shared layer sees the libraries, the platform layer below them, and the SDK.
#include "ILogin.h"
#include "global/Clock.h"
#include "libs/trace/Trace.h"
#include "platform/own_file.h"
