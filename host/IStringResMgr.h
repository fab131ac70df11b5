// The host's string table (plug-in ID PLUGIN_ID_STRING_RES_MGR, number IID_STRING_RES_MGR).
// Optional. Asked for the default brand name (STRING_DEFAULT_BRAND_NAME) from the host's thread
// and the worker thread, and for the dialog's texts (STRING_DIALOG_*) on the UI thread.
#pragma once

#include <string>

#include "IBaseInterface.h"

class IStringResMgr : public IBaseInterface {
public:
    // The text of that number in the system code page (GBK for Chinese); empty when unknown.
    virtual std::string GetString(int32_t id) = 0;

protected:
    ~IStringResMgr() = default;
};
