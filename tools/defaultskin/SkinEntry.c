/* The entry of a resource-only library: there is nothing to set up. */
#include <windows.h>

BOOL WINAPI SkinEntry(HINSTANCE hInstance, DWORD reason, LPVOID reserved) {
    (void)hInstance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
