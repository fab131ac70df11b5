// The reference host's own texts for the numbers the plug-in asks for (the settings dialog and
// its message box), served where the profile's strings.ini has no entry of its own. GBK, as the
// plug-in takes them. The default brand name (11004) is not among them: a host that has one
// changes how a SIM without a name is signed in, so only a profile gives it.
#pragma once

#include <cstdint>

// The text for a string number; null when the host has none.
const char* BuiltInString(int32_t id);
