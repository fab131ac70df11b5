// Release of a result object handed to the host: the object goes, its enter and leave records stay.
#pragma once

#include "global/Trace.h"

template <typename T>
void ReleaseResponse(T* self, const char* source) {
    NORVA_TRACE(TRACE_INFO, "LoginPlguin", source, "Enter Release()!");
    try {
        delete self;
    } catch (...) {
        NORVA_TRACE(TRACE_INFO, "LoginPlguin", source, "delete this occur exception!");
    }
    // Nothing of the object may be touched from here on: it is gone.
    NORVA_TRACE(TRACE_INFO, "LoginPlguin", source, "Leave Release()!");
}
