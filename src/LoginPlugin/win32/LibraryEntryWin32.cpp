// The library entry on Windows: records the module handle, from which the dialog resources load.
#include <windows.h>

#include "platform/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID /*reserved*/) {
    SetLibraryModuleHandle(hInstance);
    (void)reason;
    return TRUE;
}
