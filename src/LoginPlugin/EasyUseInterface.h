// Fetches the sibling plug-ins' interfaces from the host container, each held by a HostRef.
#pragma once

#include "ICheckDeviceType.h"
#include "INetConnect.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "IStringResMgr.h"
#include "global/HostRef.h"

class CEasyUseInterface {
public:
    explicit CEasyUseInterface(IPluginContainer* pContainer) : m_pPluginContainer(pContainer) {}

    // Each is empty when the container is missing, serves nothing or throws.
    HostRef<ISetting> Setting() const;
    HostRef<IStringResMgr> StringResMgr() const;
    HostRef<ICheckNetConnection> CheckNetConnection() const;
    HostRef<INetConnect> NetConnect() const;
    HostRef<ICheckDeviceType> CheckDeviceType() const;

    IPluginContainer* GetContainer() const { return m_pPluginContainer; }

private:
    IPluginContainer* m_pPluginContainer;
};
