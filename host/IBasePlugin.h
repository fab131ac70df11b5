// What every plug-in offers the host, and the export that makes it.
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

// Told by the host before it releases the plug-in.
class IDestroyEvent {
public:
    virtual void OnDestroy() = 0;

protected:
    ~IDestroyEvent() = default;
};

// The library's one export, undecorated.
using CreatePluginFn = IBasePlugin* (*)();
#define LOGIN_CREATE_PLUGIN_EXPORT "CreatePlugin"
