// Where `loginhost watch` stands, as the desktop is told of it: one word for the state (published
// on the session bus) and the notice a person can act on (shown by the notification service).
// Plain C++: the facts come from the modem snapshot and the login object, on the host's thread.
#pragma once

#include <cstdint>
#include <string>

#include "WatchCard.h"

struct WatchFacts {
    bool bModemSeen = false;  // the modem service has been asked at least once
    ModemSnapshot modem;
    bool bLoggedIn = false;  // IsLoginSuccess
    bool bLogining = false;  // a login sequence runs
    int32_t nState = 0;      // the login object's state code
    bool bHeld = false;      // a due login waits on the network
    bool bNoSpn = false;     // the SIM has no name the plug-in can use
};

// One word: starting, no-modem, no-sim, locked, disabled, not-ready, held, signing-in,
// signed-in, refused, proxy-credentials, proxy-refused, failed.
std::string WatchStateWord(const WatchFacts& facts);

// A state code that is the server's refusal (its resultValue), not the plug-in's, the card's or
// the connection's.
bool IsServerRefusal(int32_t code);

// What a person is told; an empty key for nothing to tell. Notices of one key are one notice.
struct WatchNotice {
    std::string key;      // e.g. "locked-pin", "refused 3"
    std::string icon;     // a freedesktop icon name
    std::string summary;  // a few words
    std::string body;     // what it means and what to do, in the words of the watch's lines
};

// profileDir names where operators.ini and the proxy settings go.
WatchNotice WatchNoticeFor(const WatchFacts& facts, const std::string& profileDir);

// The SIM's identity shortened for a notice: its last four digits.
std::string ShortIdentity(const std::string& imsi);
