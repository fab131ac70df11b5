// The brand table SIMBrandInfo.xml, once decoded: a root <main> holding <cardtype> records, each
// with <name> (a comma list of service-provider names), <tag> (the SIM type number) and
// <skinpath>. Pure functions over the decoded text, so that they can be tested and fuzzed alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LoginTypes.h"

// Lower-cases the ASCII letters of a GBK text. The second byte of a double-byte character is
// left alone: it may fall in A-Z, and changing it would make two Chinese names equal.
std::string LowerGbk(const std::string& text);

// Splits at every comma, without trimming; the text after the last comma is an item even when
// empty, so "a," gives "a" and "".
std::vector<std::string> SplitAtCommas(const std::string& text);

// The decimal value of a SIM type text as a C library would read it: leading white space and a
// sign skipped, digits up to the first non-digit, 0 when there are none. Saturates at the ends
// of the 32-bit range.
int32_t SimTypeNumber(const std::string& text);

// Looks name up in the name lists (both sides lower-cased); the first matching <cardtype> wins.
// On a match its <tag> and <skinpath>, where present and in any order, replace those of info
// and the result is true. No match, or a table that does not parse: tag and skinpath become
// empty and the result is false. info.name is never touched.
bool FindBrandByName(const std::string& table, const std::string& name, SimCardInfo& info);

// The first <cardtype> whose <tag> equals simType exactly. Its children are read in the order
// name, tag, skinpath, each searched after the one before, so a <tag> that comes before <name>
// is never seen. True with info := {tag, name list, skinpath} on a match; info unchanged else.
bool FindBrandBySimType(const std::string& table, const std::string& simType, SimCardInfo& info);
