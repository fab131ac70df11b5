// The SDK is for global, the plug-in and hosts; the platform layer builds without it.
#include "PluginIds.h"
