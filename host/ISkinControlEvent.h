// A listener told to reload its skin.
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
