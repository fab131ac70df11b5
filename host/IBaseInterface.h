// Root of every interface that crosses between the host and its plug-ins.
#pragma once

#include <cstdint>

class IBaseInterface {
public:
    // Objects that a plug-in owns ignore Release; result objects are destroyed by it.
    virtual void Release() = 0;
    // 0 when the last operation succeeded.
    virtual int32_t GetErrorCode() = 0;

protected:
    // Never deleted through the interface: ownership goes through Release.
    ~IBaseInterface() = default;
};
