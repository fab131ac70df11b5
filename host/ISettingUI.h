// The login settings menu entry and dialog (interface number IID_SETTING_UI), owned by the
// plug-in. ShowSettingDialog runs the modal proxy dialog on the calling (UI) thread (Windows; the
// Linux build has no dialog).
#pragma once

#include "IBaseInterface.h"

class ISettingUI : public IBaseInterface {
public:
    virtual const char* GetMenuText() = 0;
    virtual bool ReservedSlot3(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) = 0;
    // The dialog's end code, or -1.
    virtual int32_t ShowSettingDialog() = 0;
    virtual void ReservedSlot5() = 0;
    virtual void ReservedSlot6(int32_t a, int32_t b, int32_t c, int32_t d) = 0;

protected:
    ~ISettingUI() = default;
};
