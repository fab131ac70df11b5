// A listener told to reload its skin: registered with ILogin::SetEventHandler, called
// synchronously on the thread of the device event or of CheckSimCardType (a window posts the work
// to its own thread), once per change of brand.
#pragma once

#include <cstdint>

#include "LoginTypes.h"

class ISkinControlEvent {
public:
    // pInfo is only read during the call; the result is ignored (a Win32 BOOL).
    virtual int32_t OnSkinChange(SkinChangeInfo* pInfo) = 0;

protected:
    ~ISkinControlEvent() = default;
};
