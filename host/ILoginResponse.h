// Result objects handed to the host after a successful login (IID_LOGIN_RESPONSE and
// IID_REG_RESPONSE): a new object on each request, refused before a login succeeded. Each is
// owned by the host and destroyed by its Release; any thread.
#pragma once

#include <string>

#include "IBaseInterface.h"

class ILoginResponse : public IBaseInterface {
public:
    virtual std::string GetEncodeKey() = 0;
    virtual std::string GetSessionID() = 0;

protected:
    ~ILoginResponse() = default;
};

class IRegResponse : public IBaseInterface {
public:
    virtual std::string GetPassword() = 0;

protected:
    ~IRegResponse() = default;
};
