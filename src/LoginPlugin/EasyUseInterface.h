// Fetches the sibling plug-ins' interfaces from the host container; the caller releases them.
#pragma once

#include "ICheckDeviceType.h"
#include "INetConnect.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "IStringResMgr.h"

class CEasyUseInterface {
public:
    explicit CEasyUseInterface(IPluginContainer* pContainer) : m_pPluginContainer(pContainer) {}

    // Each returns null when the container is missing, serves nothing or throws.
    ISetting* GetSetting();
    IStringResMgr* GetStringResMgr();
    ICheckNetConnection* GetCheckNetConnection();
    INetConnect* GetNetConnect();
    ICheckDeviceType* GetCheckDeviceType();

    IPluginContainer* GetContainer() const { return m_pPluginContainer; }

private:
    IPluginContainer* m_pPluginContainer;
};
