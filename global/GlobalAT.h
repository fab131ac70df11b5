// The data card and host helpers shared by the plug-in's components: the SIM's service-provider
// name, the host's string table, and the encoded files that the host's crypt plug-in decodes.
#pragma once

#include <cstdint>
#include <string>

class IClock;
class IPluginContainer;
class IStringResMgr;
class MTSComm;

// Reads the service-provider name into pSpn (MTS_SPN_BUFFER_SIZE bytes, zero-filled by the
// caller). A busy or timed-out card is asked again every 2000 ms, at most 60 times in all; the
// waits go through pClock (null: the real clock) and the retries end at once when that clock
// has been stopped. On false, error holds the host's last reason.
bool DEVGetSimBrand(MTSComm* pComm, char* pSpn, int32_t& error, IClock* pClock = nullptr);

// The host's string of that number; empty without an interface or when the call throws.
std::string LoadResString(IStringResMgr* pStringRes, int32_t id);

// Reads the whole encoded file at path and decodes it with the host's crypt plug-in, keyed by
// the host's "CRYPT"/"CRYPT" setting. A missing file is left behind empty (and fails to decode).
bool ReadCryptFile(IPluginContainer* pContainer, const std::string& path, std::string& text);
