// The host's settings service (plug-in ID PLUGIN_ID_SETTING, number IID_SETTING): system and
// user settings by section and key, named settings. Required.
//
// Called by the plug-in from the host's thread (while the login object is made, in device events,
// in the settings dialog) and from its worker thread (at every login attempt): it must be safe
// from any thread. The names it reads and writes are in LoginSettings.h; a Get returns false when
// the setting does not exist, and values are texts in the system code page (GBK for Chinese).
#pragma once

#include <string>

#include "IBaseInterface.h"

class ISetting : public IBaseInterface {
public:
    virtual bool GetSysSetting(const std::string& section, const std::string& key,
                               std::string& value) = 0;
    virtual bool SetSysSetting(const std::string& section, const std::string& key,
                               const std::string& value) = 0;
    virtual bool GetUserSetting(const std::string& section, const std::string& key,
                                std::string& value) = 0;
    virtual bool SetUserSetting(const std::string& section, const std::string& key,
                                const std::string& value) = 0;
    virtual bool GetNamedSetting(const std::string& name, std::string& value) = 0;
    // The SIM type of the brand found (its tag as a number), when the login object is made and at
    // each skin switch.
    virtual void SetSimTypeNumber(int32_t simType) = 0;

protected:
    ~ISetting() = default;
};
