// A library sees its own folder and the platform layer.
#include "libs/jthread/JThread.h"
#include "platform/thread_kill.h"
