#include "EasyUseInterface.h"

#include "PluginIds.h"

namespace {

// Asks the container for one interface; empty for any failure, without a trace.
template <typename T>
HostRef<T> Fetch(IPluginContainer* pContainer, const char* pluginId, int32_t number) {
    try {
        return QueryHost<T>(pContainer, pluginId, number);
    } catch (...) {
        return {};
    }
}

}  // namespace

HostRef<ISetting> CEasyUseInterface::Setting() const {
    return Fetch<ISetting>(m_pPluginContainer, PLUGIN_ID_SETTING, IID_SETTING);
}

HostRef<IStringResMgr> CEasyUseInterface::StringResMgr() const {
    return Fetch<IStringResMgr>(m_pPluginContainer, PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR);
}

HostRef<ICheckNetConnection> CEasyUseInterface::CheckNetConnection() const {
    return Fetch<ICheckNetConnection>(m_pPluginContainer, PLUGIN_ID_CHECK_NET_CONNECTION,
                                      IID_CHECK_NET_CONNECTION);
}

HostRef<INetConnect> CEasyUseInterface::NetConnect() const {
    return Fetch<INetConnect>(m_pPluginContainer, PLUGIN_ID_NET_CONNECT, IID_NET_CONNECT);
}

HostRef<ICheckDeviceType> CEasyUseInterface::CheckDeviceType() const {
    return Fetch<ICheckDeviceType>(m_pPluginContainer, PLUGIN_ID_CHECK_DEVICE_TYPE,
                                   IID_CHECK_DEVICE_TYPE);
}
