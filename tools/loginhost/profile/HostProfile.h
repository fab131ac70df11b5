// A profile: the directory of plain files that the reference host serves the plug-in from.
//
// Every file is optional and UTF-8; the host hands the plug-in GBK (its code page) and writes
// back in UTF-8. Lines are "[section]", "key=value", blank or comments (';' or '#' first); see
// HostIni.h for quoting. Any other line, a bad number or an unknown key stops the host with
// "FILE:LINE: what" (exit status 2), as does an unknown *.ini file in the directory.
//
//   system.ini   GetSysSetting/SetSysSetting: [SECTION] KEY=value, e.g.
//                  [LOGIN] URL=https://...        [REGISTER] URL=https://...
//                  [CURRENT_USER_PRIVATE_DIR] PATH=...   [CRYPT] CRYPT=<loginhost encrypt KEY>
//                  [SIMTYPE] ACTIVE=...  [SKIN] ACTIVE=...   [VERSION] MAJOR=...
//                  [SECURITY] STRICT=0|1  CAFILE=<PEM file of trusted issuers>
//                Written back when the plug-in sets a value. Without [CRYPT] CRYPT the host's
//                default working key is used (encode-table uses the same).
//   user.ini     GetUserSetting/SetUserSetting: [PROXY] TYPE= ADDRESS= PORT= USER= PASSWORD=.
//                Written back when the plug-in sets a value.
//   named.ini    GetNamedSetting: NAME=value, no sections (ServiceScreenCode=a, b).
//                A name not given is not served, except ServiceScreenCode (default empty).
//   strings.ini  IStringResMgr::GetString: NUMBER=text, no sections (11004=...).
//   card.ini     the data card behind MTSComm, section [card]:
//                  imsi=TEXT          the IMSI a successful read gives (default empty)
//                  spn=TEXT           the service-provider name (default empty)
//                  imsi_errors=N,...  results of successive IMSI reads: 0 reads imsi, any
//                                     other number fails with that device error; the last
//                                     result repeats (default 0)
//                  spn_errors=N,...   the same for SPN reads, e.g. 14,14,0 (busy twice, then ok)
//                  imsi_error=N       every IMSI read gives N (imsi_errors=N); spn_error=N alike
//                  comm=yes|no        whether the card's communication interface exists
//                or a real data card on a modem's AT port (then no other key is taken):
//                  port=PATH          /dev/ttyUSB2, /dev/ttyACM0, ... or COM5 on Windows
//                  baud=N             the port's speed (default 115200)
//   net.ini      the network state, section [net]:
//                  connect_state=N    INetConnect::GetConnectState (default 0; 2, 3 = busy)
//                  check_result=N     ICheckNetConnection::CheckConnection (default 0; -1 = down)
//   operators.ini  `watch`: brand names of SIMs whose name the modem service does not give, by
//                the SIM's operator identifier (MCC and MNC, 5 or 6 digits), section [operators]:
//                  46000=中国移动
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "HostIni.h"

struct CardProfile {
    std::string imsi;  // UTF-8
    std::string spn;   // UTF-8
    std::vector<int32_t> imsiResults{0};
    std::vector<int32_t> spnResults{0};
    bool bComm = true;
    std::string port;  // a modem's AT port: the card is real, the fields above unused
    uint32_t baud = 115200;
};

struct NetProfile {
    int32_t nConnectState = 0;
    int32_t nCheckResult = 0;
};

class HostProfile {
public:
    // Reads every file of the directory; false with error naming the file (and line).
    bool Load(const std::string& dir, std::string& error);
    // No directory: every file absent, and what the plug-in writes is kept in memory only.
    bool IsInMemory() const { return m_strDir.empty(); }

    const std::string& Dir() const { return m_strDir; }
    std::string PathOf(const std::string& file) const;

    // Writes system.ini or user.ini back (to a temporary file, then renamed over the old one);
    // nothing to do for a profile in memory.
    bool Save(const IniFile& file, const std::string& name, std::string& error) const;

    IniFile system;
    IniFile user;
    IniFile named;
    std::map<int32_t, std::string> strings;  // UTF-8
    CardProfile card;
    NetProfile net;
    std::map<std::string, std::string> operators;  // MCC+MNC -> brand name (UTF-8)

private:
    std::string m_strDir;
};

// The profile files by name, in the order they are read.
extern const char* const kProfileFiles[7];

// The operator table of an INI file read from path ([operators] MCCMNC=name); false with error
// "PATH:LINE: why".
bool ParseOperatorTable(const IniFile& ini, const std::string& path,
                        std::map<std::string, std::string>& table, std::string& error);

// Strict decimal 32-bit number with an optional sign; false for anything else.
bool ParseInt32(const std::string& text, int32_t& value);
