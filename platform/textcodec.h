// Conversions between the Chinese code page (GBK) of the plug-in's texts and UTF-8.
#pragma once

#include <string>

// Bytes that cannot be converted are kept as they are.
std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);
