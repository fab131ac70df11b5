// The service-provider name of the SIM (its EF_SPN file) as the host hands it to the plug-in.
// EF_SPN: one display-condition byte, then 16 name bytes, either GSM 7-bit default alphabet
// characters one a byte (with the 0x1B escape table) or one of the three UCS2 forms (first byte
// 0x80, 0x81 or 0x82); unused bytes are 0xFF. Pure functions of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The name bytes (after the display condition) as UTF-8 text. A byte or form that means nothing
// gives '?' in its place; decoding never fails.
std::string DecodeSpnName(const uint8_t* name, size_t size);

// UTF-8 text as GBK in at most maxBytes bytes, cut between characters; a character that GBK lacks
// becomes '?'.
std::string Utf8ToGbkWithin(const std::string& utf8, size_t maxBytes);

// The whole file (display condition first) as the GBK text of at most maxBytes bytes.
std::string SpnFileToGbk(const uint8_t* file, size_t size, size_t maxBytes);
