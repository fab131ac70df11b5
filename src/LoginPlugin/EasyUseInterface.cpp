#include "EasyUseInterface.h"

#include "PluginIds.h"

namespace {

// Asks the container for one interface; null for any failure, without a trace.
template <typename T>
T* Fetch(IPluginContainer* pContainer, const char* pluginId, int32_t number) {
    if (!pContainer) return nullptr;
    try {
        IBaseInterface* pBase = nullptr;
        if (!pContainer->QueryInterface(pluginId, number, &pBase) || !pBase) return nullptr;
        auto* pTyped = dynamic_cast<T*>(pBase);
        if (!pTyped) pBase->Release();
        return pTyped;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

ISetting* CEasyUseInterface::GetSetting() {
    return Fetch<ISetting>(m_pPluginContainer, PLUGIN_ID_SETTING, IID_SETTING);
}

IStringResMgr* CEasyUseInterface::GetStringResMgr() {
    return Fetch<IStringResMgr>(m_pPluginContainer, PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR);
}

ICheckNetConnection* CEasyUseInterface::GetCheckNetConnection() {
    return Fetch<ICheckNetConnection>(m_pPluginContainer, PLUGIN_ID_CHECK_NET_CONNECTION,
                                      IID_CHECK_NET_CONNECTION);
}

INetConnect* CEasyUseInterface::GetNetConnect() {
    return Fetch<INetConnect>(m_pPluginContainer, PLUGIN_ID_NET_CONNECT, IID_NET_CONNECT);
}

ICheckDeviceType* CEasyUseInterface::GetCheckDeviceType() {
    return Fetch<ICheckDeviceType>(m_pPluginContainer, PLUGIN_ID_CHECK_DEVICE_TYPE,
                                   IID_CHECK_DEVICE_TYPE);
}
