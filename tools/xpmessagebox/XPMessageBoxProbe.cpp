// A stand-in for the host's message-box library, for tests: no window, every call recorded.
#include "XPMessageBoxProbe.h"

#include <cstring>
#include <cwchar>

namespace {

XPMessageBoxCall g_call;
int g_nResult = IDOK;

class CProbeMessageBox : public IXPMessageBox {
public:
    void SetConfig(unsigned char* pRecord) override {
        ++g_call.nConfigCalls;
        if (!pRecord) return;
        memcpy(g_call.record, pRecord, sizeof(g_call.record));
        // The probe's own state, past the texts: the plug-in must have room for it.
        memset(pRecord + XPMB_MIN_RECORD_SIZE, 0x5A, XPMB_PROBE_RECORD_SIZE - XPMB_MIN_RECORD_SIZE);
    }
    int Show(HWND hOwner, const wchar_t* pText, const wchar_t* pTitle, UINT nType) override {
        ++g_call.nCalls;
        g_call.hOwner = hOwner;
        wcsncpy(g_call.text, pText ? pText : L"", XPMB_TEXT_UNITS - 1);
        wcsncpy(g_call.title, pTitle ? pTitle : L"", XPMB_TEXT_UNITS - 1);
        g_call.nType = nType;
        return g_nResult;
    }
};

CProbeMessageBox g_box;

}  // namespace

extern "C" {

#ifndef XPMB_PROBE_WITHOUT_CREATE
__declspec(dllexport) IXPMessageBox* CreateInstance() {
    return &g_box;
}
#endif

__declspec(dllexport) const XPMessageBoxCall* XPMessageBoxLastCall() {
    return &g_call;
}

__declspec(dllexport) void XPMessageBoxSetResult(int nResult) {
    g_nResult = nResult;
}
}
