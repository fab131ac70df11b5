#include <iconv.h>

#include <cerrno>

#include "platform/textcodec.h"

namespace {

std::string Convert(const std::string& in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out;
    char buf[256];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, sizeof buf - dstLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // Keep a byte that does not convert and go on after it.
            out.push_back(*src);
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string GbkToUtf8(const std::string& gbk) { return Convert(gbk, "UTF-8", "GBK"); }

std::string Utf8ToGbk(const std::string& utf8) { return Convert(utf8, "GBK", "UTF-8"); }
