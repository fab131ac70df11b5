// The six services a host offers the plug-in, each under its sibling plug-in's ID and interface
// number: one wiring for loginhost and for the tests' host. Services has the members setting,
// strings, device, net, check and crypt; Container serves an interface by ID and number.
#pragma once

#include "PluginIds.h"

template <class Container, class Services>
void ServeHostServices(Container& container, Services& services) {
    container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &services.setting);
    container.Serve(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR, &services.strings);
    container.Serve(PLUGIN_ID_CHECK_DEVICE_TYPE, IID_CHECK_DEVICE_TYPE, &services.device);
    container.Serve(PLUGIN_ID_NET_CONNECT, IID_NET_CONNECT, &services.net);
    container.Serve(PLUGIN_ID_CHECK_NET_CONNECTION, IID_CHECK_NET_CONNECTION, &services.check);
    container.Serve(PLUGIN_ID_CRYPT, IID_CRYPT, &services.crypt);
}
