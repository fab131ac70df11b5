// The host's settings service: system and user settings by section and key, named settings.
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
    virtual void SetSimTypeNumber(int32_t simType) = 0;

protected:
    ~ISetting() = default;
};
