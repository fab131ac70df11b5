// What both HTTPS faces decide alike, whatever carries their bytes: which replies redirect and
// where a send may follow them, how the request changes on the way, and how much of a reply is
// kept. The shared client asks here; the faces ask only about the reply bound.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/https.h"
#include "platform/url.h"

// Whether two host names name the same host: letter case aside, and an IPv6 literal alike with or
// without its brackets.
bool SameHostName(const std::string& a, const std::string& b);

// Whether a reply of this status asks to go elsewhere (when it names where).
bool IsRedirectStatus(uint32_t status);

// Whether `policy` lets a send to `request` follow a redirect to `target`: over https: only, and
// with kSameHostHttps to the same host name and port.
bool RedirectAllowed(HttpRedirectPolicy policy, const ParsedUrl& request, const ParsedUrl& target);

// The verb a redirect of `status` repeats the request with: 307 and 308 repeat it as it was, the
// others ask for a GET of the new address, without the body.
std::string VerbAfterRedirect(uint32_t status, const std::string& verb);

// Whether a reply head of `status` that claims `claimed` bytes is refused before its body: the
// reply itself (no redirect, no interim answer) claiming more than kMaxHttpReplyBytes.
bool RefusesClaim(uint32_t status, std::optional<uint64_t> claimed);
