#include <windows.h>

#include "platform/textcodec.h"

namespace {

constexpr UINT kGbk = 936;

std::string Convert(const std::string& in, UINT from, UINT to) {
    if (in.empty()) return in;
    const int wlen = MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (wlen <= 0) return in;
    std::wstring wide(static_cast<size_t>(wlen), L'\0');
    MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), &wide[0], wlen);
    const int len = WideCharToMultiByte(to, 0, wide.data(), wlen, nullptr, 0, nullptr, nullptr);
    if (len <= 0) return in;
    std::string out(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wlen, &out[0], len, nullptr, nullptr);
    return out;
}

}  // namespace

std::string GbkToUtf8(const std::string& gbk) { return Convert(gbk, kGbk, CP_UTF8); }

std::string Utf8ToGbk(const std::string& utf8) { return Convert(utf8, CP_UTF8, kGbk); }
