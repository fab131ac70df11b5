// The library entry on Linux: records the library's own handle when it is loaded.
#include <dlfcn.h>

#include "platform/module.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OnLibraryLoad), &info) != 0 && info.dli_fname) {
        // A handle of our own image, without raising its reference count for good.
        void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
        SetLibraryModuleHandle(handle);
        if (handle) dlclose(handle);
    }
}

}  // namespace
