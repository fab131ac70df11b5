// Release of a result object handed to the host: the object goes, its enter and leave records stay.
#pragma once

#include "libs/trace/Trace.h"

template <typename T>
void ReleaseResponse(T* self, const TraceSite& site) {
    TRACE_AT(site, TRACE_INFO, "Enter Release()!");
    try {
        delete self;
    } catch (...) {
        TRACE_AT(site, TRACE_INFO, "delete this occur exception!");
    }
    // Nothing of the object may be touched from here on: it is gone.
    TRACE_AT(site, TRACE_INFO, "Leave Release()!");
}
