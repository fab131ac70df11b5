// The host's string table.
#pragma once

#include <string>

#include "IBaseInterface.h"

class IStringResMgr : public IBaseInterface {
public:
    // The text of that number in the system code page (GBK for Chinese); empty when unknown.
    virtual std::string GetString(int32_t id) = 0;

protected:
    ~IStringResMgr() = default;
};
