// Values of the host's active skin library.
#pragma once

#include <windows.h>

#include <string>

// The host directory followed by the setting "SKIN"/"ACTIVE"; empty without the message-box
// container or the host's settings.
std::string GetActiveSkinPath();

// String nID of the active skin library read as "red green blue" (decimal, blank-separated);
// black when the library or the string is missing.
COLORREF GetSkinColor(UINT nID);
