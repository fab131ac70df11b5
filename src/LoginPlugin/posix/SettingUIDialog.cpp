// Linux has no dialog yet: the settings UI answers every other call as on Windows.
#include "SettingUIImpl.h"
#include "libs/trace/Trace.h"

namespace {
constexpr TraceSite kTrace{"LoginPlguin", "src\\LoginPlugin\\SettingUIImpl"};
}  // namespace

int32_t CSettingUIImpl::ShowSettingDialog() {
    TRACE_AT(kTrace, TRACE_WARN, "ShowSettingDialog(): no dialog exists on this platform!");
    return -1;
}

void CSettingUIImpl::DestroyDialog() {}
