// What every plug-in offers the host, and the export that makes it. The host calls these from any
// of its threads: CreatePlugin, LoginAbiMatches (LoginAbi.h), SetPluginContainer, Initialize, the
// identity (type LOGIN_PLUGIN_TYPE, version LOGIN_PLUGIN_VERSION), QueryInterface with the IID_*
// numbers of PluginIds.h (false and a null pointer for any other), and at the end
// IDestroyEvent::OnDestroy, then Release. The host guide gives the order and what must be
// served before each step.
#pragma once

#include "IBaseInterface.h"
#include "IPluginContainer.h"

class IBasePlugin : public IBaseInterface {
public:
    virtual void SetPluginContainer(IPluginContainer* pContainer) = 0;
    virtual bool Initialize() = 0;
    virtual bool QueryInterface(int32_t number, IBaseInterface** ppInterface) = 0;
    virtual uint32_t GetPluginType() = 0;
    virtual const char* GetPluginID() = 0;
    virtual uint32_t GetPluginVersion() = 0;
    virtual const char* GetPluginName() = 0;
    virtual bool IsAvailable() = 0;

protected:
    ~IBasePlugin() = default;
};

// Told by the host before it releases the plug-in: the login object leaves the device events.
// A second base of the plug-in object: dynamic_cast<IDestroyEvent*>(plugin).
class IDestroyEvent {
public:
    virtual void OnDestroy() = 0;

protected:
    ~IDestroyEvent() = default;
};

// The library's one export, undecorated.
using CreatePluginFn = IBasePlugin* (*)();
#define LOGIN_CREATE_PLUGIN_EXPORT "CreatePlugin"
