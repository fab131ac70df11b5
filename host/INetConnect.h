// The host's view of the network connection.
#pragma once

#include "IBaseInterface.h"

class INetConnect : public IBaseInterface {
public:
    // 2 and 3 make the login worker wait.
    virtual int32_t GetConnectState() = 0;

protected:
    ~INetConnect() = default;
};

class ICheckNetConnection : public IBaseInterface {
public:
    // -1 makes the login worker wait.
    virtual int32_t CheckConnection() = 0;

protected:
    ~ICheckNetConnection() = default;
};
