// A record's texts made safe for a line-oriented log file.
#pragma once

#include <cstddef>
#include <string>

// Longest message a record keeps, escapes counted, before the cut marker.
constexpr size_t kTraceMessageBytes = 400;

// text with CR, LF and tab as \r \n \t and every other control byte (below 0x20, and 0x7F) as
// \xHH, so that it holds no line break; cut after maxBytes with " ...[cut, N bytes]", N the
// length of text. Bytes from 0x80 up (GBK) are kept.
std::string TraceSafeText(const std::string& text, size_t maxBytes);
