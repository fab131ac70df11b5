// PENDING: the proxy settings dialog is not built yet; the settings UI answers -1 meanwhile.
#include "SettingUIImpl.h"

int32_t CSettingUIImpl::ShowSettingDialog() { return -1; }

void CSettingUIImpl::DestroyDialog() {}
