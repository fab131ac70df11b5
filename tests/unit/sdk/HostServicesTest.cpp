// The SDK's optional service bases, as a host uses them: the container tells services apart by
// plug-in ID and number, the device service keeps and tells its listeners.
#include <gtest/gtest.h>

#include <vector>

#include "LoginHostServices.h"
#include "PluginIds.h"

namespace {

class Strings : public LoginHostStringResMgr {
public:
    std::string GetString(int32_t) override { return "s"; }
};

class Settings : public LoginHostSetting {
public:
    bool GetSysSetting(const std::string&, const std::string&, std::string& value) override {
        value = "v";
        return true;
    }
};

class Listener : public ICheckDeviceEvent {
public:
    bool OnDeviceEvent(int32_t code, void* pData) override {
        codes.push_back(pData ? code : -code);
        return true;
    }
    std::vector<int32_t> codes;
};

class Device : public LoginHostDevice {
public:
    MTSComm* GetMTSComm() override { return nullptr; }
};

TEST(HostServicesTest, TheContainerServesByIdAndNumber) {
    Settings settings;
    Strings strings;
    LoginHostContainer container;
    container.Serve(PLUGIN_ID_SETTING, IID_SETTING, &settings);
    container.Serve(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR, &strings);

    // Both use number 16384: only the ID tells them apart.
    IBaseInterface* p = nullptr;
    ASSERT_TRUE(container.QueryInterface(PLUGIN_ID_STRING_RES_MGR, IID_STRING_RES_MGR, &p));
    EXPECT_EQ(p, static_cast<IBaseInterface*>(&strings));
    // An ID given as another copy of the same text is the same plug-in.
    const std::string id = PLUGIN_ID_SETTING;
    ASSERT_TRUE(container.QueryInterface(id.c_str(), IID_SETTING, &p));
    EXPECT_EQ(p, static_cast<IBaseInterface*>(&settings));

    p = &strings;
    EXPECT_FALSE(container.QueryInterface(PLUGIN_ID_SETTING, IID_NET_CONNECT, &p));
    EXPECT_EQ(p, nullptr);
    EXPECT_FALSE(container.QueryInterface(nullptr, IID_SETTING, &p));

    // What a host leaves out answers "no such setting".
    std::string value;
    EXPECT_FALSE(settings.GetUserSetting("PROXY", "TYPE", value));
    EXPECT_FALSE(settings.GetNamedSetting("ServiceScreenCode", value));
}

TEST(HostServicesTest, TheDeviceTellsEachListenerUntilItLeaves) {
    Device device;
    Listener a, b;
    EXPECT_FALSE(device.AddDeviceEvent(nullptr, DEVICE_EVENT_KIND_CARD));
    ASSERT_TRUE(device.AddDeviceEvent(&a, DEVICE_EVENT_KIND_CARD));
    ASSERT_TRUE(device.AddDeviceEvent(&b, DEVICE_EVENT_KIND_CARD));
    device.SendDeviceEvent(DEVICE_EVENT_AVAILABLE);
    EXPECT_TRUE(device.RemoveDeviceEvent(&a, DEVICE_EVENT_KIND_CARD));
    EXPECT_FALSE(device.RemoveDeviceEvent(&a, DEVICE_EVENT_KIND_CARD));
    device.SendDeviceEvent(DEVICE_EVENT_CHANGED);
    // Listeners ignore a null pointer: the events came with one.
    EXPECT_EQ(a.codes, std::vector<int32_t>{DEVICE_EVENT_AVAILABLE});
    EXPECT_EQ(b.codes, (std::vector<int32_t>{DEVICE_EVENT_AVAILABLE, DEVICE_EVENT_CHANGED}));
    EXPECT_EQ(device.ListenerCount(), 1u);
}

}  // namespace
