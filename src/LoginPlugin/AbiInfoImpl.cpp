#include "AbiInfoImpl.h"

#include "LoginAbi.h"

namespace {

class CAbiInfoImpl final : public IAbiInfo {
public:
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    uint32_t GetAbiTag() override { return LoginAbiTag(); }
};

}  // namespace

IBaseInterface* AbiInfo() {
    static CAbiInfoImpl instance;
    return static_cast<IAbiInfo*>(&instance);
}
