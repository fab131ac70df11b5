// Linux has no dialog yet: the settings UI answers every other call as on Windows.
#include "SettingUIImpl.h"
#include "global/Trace.h"

int32_t CSettingUIImpl::ShowSettingDialog() {
    NORVA_TRACE(TRACE_WARN, "LoginPlguin", "src\\LoginPlugin\\SettingUIImpl",
                "ShowSettingDialog(): no dialog exists on this platform!");
    return -1;
}

void CSettingUIImpl::DestroyDialog() {}
