#include "platform/module.h"

#include <atomic>

namespace {
std::atomic<void*> g_hLibraryModule{nullptr};
}

void SetLibraryModuleHandle(void* hModule) { g_hLibraryModule = hModule; }

void* GetLibraryModuleHandle() { return g_hLibraryModule.load(); }
