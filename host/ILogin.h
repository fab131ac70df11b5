// The login plug-in's main interface (interface numbers IID_LOGIN and IID_LOGIN_ALIAS), owned by
// the plug-in. The host calls it from any of its threads; the sign-in itself runs on the plug-in's
// worker thread once StartLogin has been called. GetErrorCode gives the state code of the last
// login sequence (LoginStates.h).
#pragma once

#include <string>

#include "IBaseInterface.h"
#include "ISkinControlEvent.h"

class ILogin : public IBaseInterface {
public:
    // Starts the worker (or asks for a login at its next due time); clears the success flag.
    virtual bool StartLogin() = 0;
    virtual bool IsLoginSuccess() = 0;
    // True when the host's plug-in list (plugins.xml less ServiceScreenCode) lacks that clsid.
    virtual bool IsPluginUnlisted(std::string clsid) = 0;
    // Switches to the brand of that SIM type; an empty text reads the card's SPN again.
    virtual void CheckSimCardType(const std::string& simType) = 0;
    // Skin-change listeners, told on the thread of the device event or of CheckSimCardType.
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
