// What both HTTP(S) clients decide alike, whatever carries their bytes: which redirect a send may
// follow. The clients only read the scheme and host name of the new address, each with its own
// URL reader, and ask here.
#pragma once

#include <string>

#include "platform/https.h"

// Whether two host names name the same host: letter case aside, and an IPv6 literal alike with or
// without its brackets.
bool SameHostName(const std::string& a, const std::string& b);

// Whether `policy` lets a send to `requestHost` follow a redirect to `targetHost`, over https:
// when `bHttps`.
bool RedirectAllowed(HttpRedirectPolicy policy, const std::string& requestHost, bool bHttps,
                     const std::string& targetHost);
