// The login plug-in's main interface (interface numbers 1 and 5).
#pragma once

#include <string>

#include "IBaseInterface.h"
#include "ISkinControlEvent.h"

class ILogin : public IBaseInterface {
public:
    virtual bool StartLogin() = 0;
    virtual bool IsLoginSuccess() = 0;
    virtual bool IsPluginUnlisted(std::string clsid) = 0;
    virtual void CheckSimCardType(const std::string& simType) = 0;
    virtual bool SetEventHandler(ISkinControlEvent* pHandler) = 0;
    virtual bool RemoveEventHandler(ISkinControlEvent* pHandler) = 0;

protected:
    ~ILogin() = default;
};

class ILogin2 : public ILogin {
public:
    // 0 while a login sequence runs on a running worker, 1 otherwise.
    virtual int32_t DetectIsLogining() = 0;

protected:
    ~ILogin2() = default;
};
