// The binary-contract check a host makes right after CreatePlugin.
#include <gtest/gtest.h>

#include "LoginAbi.h"
#include "LoginPluginImpl.h"

namespace {

// A plug-in built before the check: it answers no IAbiInfo.
class OlderPlugin final : public IBasePlugin {
public:
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
    void SetPluginContainer(IPluginContainer*) override {}
    bool Initialize() override { return true; }
    bool QueryInterface(int32_t, IBaseInterface** ppInterface) override {
        *ppInterface = nullptr;
        return false;
    }
    uint32_t GetPluginType() override { return 1; }
    const char* GetPluginID() override { return PLUGIN_ID_LOGIN; }
    uint32_t GetPluginVersion() override { return 0x0101; }
    const char* GetPluginName() override { return ""; }
    bool IsAvailable() override { return true; }
};

TEST(AbiInfoTest, ThePluginReportsItsBuildAndAnOlderOneIsRefused) {
    IBasePlugin* plugin = CreatePlugin();
    ASSERT_NE(plugin, nullptr);
    uint32_t tag = 0;
    EXPECT_TRUE(LoginAbiMatches(plugin, &tag));
    EXPECT_EQ(tag, LoginAbiTag());
    // The string size is the part of the tag that a host built with the other string ABI changes.
    EXPECT_EQ(tag & 0xFF, sizeof(std::string));
    plugin->Release();

    OlderPlugin older;
    tag = 1;
    EXPECT_FALSE(LoginAbiMatches(&older, &tag));
    EXPECT_EQ(tag, 0u);
    EXPECT_FALSE(LoginAbiMatches(nullptr));
}

}  // namespace
