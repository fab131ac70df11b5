// The binary contract between a host and the plug-in, and the check a host makes of it.
//
// Texts cross the interfaces as std::string and records as C++ objects: host and plug-in must be
// built with the same compiler family, the same standard library and the same string ABI (for
// libstdc++: the same _GLIBCXX_USE_CXX11_ABI), for the same architecture. A host built otherwise
// does not fail cleanly: the first text that crosses is freed by the wrong allocator code
// ("free(): invalid pointer", a crash in GetString or in ISetting). LoginAbiMatches tells it
// before that happens, through calls that carry only integers and pointers.
#pragma once

#include <cstdint>
#include <string>

#include "IBaseInterface.h"
#include "IBasePlugin.h"
#include "PluginIds.h"

// Raised whenever an interface of this SDK changes its slots or a record its layout.
constexpr uint32_t LOGIN_SDK_REVISION = 1;

// The standard library's string flavour of this translation unit.
constexpr uint32_t LOGIN_STRING_FLAVOUR =
#if defined(_LIBCPP_VERSION)
    3;  // libc++
#elif defined(_GLIBCXX_USE_CXX11_ABI)
    _GLIBCXX_USE_CXX11_ABI ? 1 : 2;  // libstdc++, new or old (copy-on-write) string
#elif defined(_MSC_VER)
    4;  // Microsoft's library
#else
    0;
#endif

// This build's tag: SDK revision, string flavour, pointer size and string size, a byte each.
constexpr uint32_t LoginAbiTag() {
    return (LOGIN_SDK_REVISION << 24) | (LOGIN_STRING_FLAVOUR << 16) |
           (static_cast<uint32_t>(sizeof(void*)) << 8) | static_cast<uint32_t>(sizeof(std::string));
}

// Interface number IID_ABI_INFO of the plug-in; owned by the plug-in (Release does nothing).
// Any thread, at any time after CreatePlugin.
class IAbiInfo : public IBaseInterface {
public:
    // LoginAbiTag() as the plug-in's own build computed it.
    virtual uint32_t GetAbiTag() = 0;

protected:
    ~IAbiInfo() = default;
};

// True when the plug-in was built to the same binary contract as the caller. Call it right after
// CreatePlugin, before any call that passes a text. *pPluginTag gets the plug-in's tag, or 0 from
// a plug-in that predates the check (which answers no IAbiInfo).
inline bool LoginAbiMatches(IBasePlugin* pPlugin, uint32_t* pPluginTag = nullptr) {
    IBaseInterface* pInterface = nullptr;
    uint32_t tag = 0;
    if (pPlugin && pPlugin->QueryInterface(IID_ABI_INFO, &pInterface) && pInterface) {
        // The plug-in hands out its IAbiInfo as an IBaseInterface pointer of that object.
        tag = static_cast<IAbiInfo*>(pInterface)->GetAbiTag();
    }
    if (pPluginTag) *pPluginTag = tag;
    return tag == LoginAbiTag();
}
