// What the plug-in asks of the host's message-box library "XPMessageBox.dll".
#pragma once

#include <windows.h>

#include <cstddef>

#define XPMESSAGEBOX_DLL "XPMessageBox.dll"
#define XPMESSAGEBOX_CREATE "CreateInstance"

// The configuration record handed to the message box: four UTF-16 texts (host strings) of at most
// 256 units each at fixed byte offsets; every other byte, and the record's full size, belong to
// the library. It needs at least room for a text at the largest offset; it gets ample zeroed room,
// so that a library with a larger record never writes past it.
constexpr size_t XPMB_TEXT_UNITS = 256;
constexpr size_t XPMB_MIN_RECORD_SIZE = 8840 + XPMB_TEXT_UNITS * sizeof(wchar_t);
constexpr size_t XPMB_RECORD_SIZE = 64 * 1024;
static_assert(XPMB_RECORD_SIZE >= XPMB_MIN_RECORD_SIZE, "the texts must fit");

struct XPMessageBoxText {
    int nStringId;   // host string resource
    size_t nOffset;  // byte offset in the record
};
constexpr XPMessageBoxText XPMB_RECORD_TEXTS[] = {
    {4102, 5720},
    {4103, 520},
    {4109, 8840},
    {4110, 4680},
};
static_assert(XPMB_RECORD_SIZE >= 9352, "no room for a text at the record's last offset");

class IXPMessageBox {
public:
    virtual void SetConfig(unsigned char* pRecord) = 0;
    // The box's end code, as MessageBoxA gives it.
    virtual int Show(HWND hOwner, const wchar_t* pText, const wchar_t* pTitle, UINT nType) = 0;

protected:
    ~IXPMessageBox() = default;
};

// The library's export: a new message-box object, which the library keeps.
using XPMessageBoxCreateInstance = IXPMessageBox* (*)();
