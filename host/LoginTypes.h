// Records exchanged by the login plug-in, its host and its skin-change listeners.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The SIM's brand, as found in the brand table.
struct SimCardInfo {
    std::string tag = "0";  // SIM type number as decimal text; "0" means no brand found
    std::string name;       // the SPN (or the host's default name); sent as the SIM type
    std::string skinpath;   // the brand's skin path
};

constexpr int SKIN_CHANGE_NAME_SIZE = 260;

// Handed to every skin-change listener; zero-filled before use.
struct SkinChangeInfo {
    int32_t nSimType;
    char szName[SKIN_CHANGE_NAME_SIZE];
};
// Listeners may be built by other compilers, for 32 or 64 bits: the same 264 bytes everywhere.
static_assert(sizeof(SkinChangeInfo) == 4 + SKIN_CHANGE_NAME_SIZE &&
                  offsetof(SkinChangeInfo, szName) == 4,
              "SkinChangeInfo is not the listeners' record");

// One entry of the host's plug-in list.
struct PluginRecord {
    std::string alias;
    std::string clsid;
    std::string channel;
};
