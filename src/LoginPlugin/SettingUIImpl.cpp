#include "SettingUIImpl.h"

CSettingUIImpl::~CSettingUIImpl() {
    try {
        DestroyDialog();
    } catch (...) {
    }
}
