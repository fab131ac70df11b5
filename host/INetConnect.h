// The host's view of the network connection: INetConnect (plug-in ID PLUGIN_ID_NET_CONNECT,
// number IID_NET_CONNECT) and ICheckNetConnection (PLUGIN_ID_CHECK_NET_CONNECTION,
// IID_CHECK_NET_CONNECTION).
//
// Called by the plug-in's worker thread, once a second while a login is due, before each login
// attempt. INetConnect is optional (without it nothing waits); ICheckNetConnection is not: a host
// that does not serve it holds every login back.
#pragma once

#include "IBaseInterface.h"

// INetConnect::GetConnectState values. CONNECTING and DISCONNECTING make the worker wait.
constexpr int32_t NET_STATE_DISCONNECTED = 0;
constexpr int32_t NET_STATE_CONNECTED = 1;
constexpr int32_t NET_STATE_CONNECTING = 2;
constexpr int32_t NET_STATE_DISCONNECTING = 3;

// ICheckNetConnection::CheckConnection values. NONE makes the worker wait; any other goes on.
constexpr int32_t NET_CHECK_NONE = -1;
constexpr int32_t NET_CHECK_OK = 0;

class INetConnect : public IBaseInterface {
public:
    virtual int32_t GetConnectState() = 0;

protected:
    ~INetConnect() = default;
};

class ICheckNetConnection : public IBaseInterface {
public:
    virtual int32_t CheckConnection() = 0;

protected:
    ~ICheckNetConnection() = default;
};
