// The test-only message-box library records what it was asked instead of showing a box; tests read
// the record through these exports.
#pragma once

#include <windows.h>

#include "src/LoginPlugin/win32/XPMessageBoxApi.h"

// The probe's record is larger than the least one: it uses all of it, as such a library may.
constexpr size_t XPMB_PROBE_RECORD_SIZE = 32 * 1024;

struct XPMessageBoxCall {
    int nCalls;  // Show calls since the library was loaded
    int nConfigCalls;
    unsigned char record[XPMB_PROBE_RECORD_SIZE];  // the last configuration record, copied
    HWND hOwner;
    wchar_t text[XPMB_TEXT_UNITS];
    wchar_t title[XPMB_TEXT_UNITS];
    UINT nType;
};

#define XPMB_PROBE_LAST_CALL "XPMessageBoxLastCall"
#define XPMB_PROBE_SET_RESULT "XPMessageBoxSetResult"
using XPMessageBoxLastCallFn = const XPMessageBoxCall* (*)();
// The end code the next boxes answer.
using XPMessageBoxSetResultFn = void (*)(int);
