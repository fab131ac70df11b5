// The serial port and the modem backend on a COM port under Wine, linked to the simulated
// modem that with_modem.sh started with its script (the reads below follow that script).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ICheckDeviceType.h"
#include "ModemCard.h"
#include "platform/serial.h"

namespace {

class Events : public DeviceEventSink {
public:
    void OnDeviceEvent(int32_t code) override { codes.push_back(code); }
    std::vector<int32_t> codes;
};

std::string Com() {
    const char* com = std::getenv("LOGIN_TEST_COM");
    return com ? com : "";
}

TEST(SerialWin32, ACardOnACommPort) {
    if (Com().empty()) GTEST_SKIP() << "LOGIN_TEST_COM is not set";
    SerialPort none;
    std::string error;
    EXPECT_FALSE(none.Open("COM31", 115200, error));
    EXPECT_NE(error.find("no such port"), std::string::npos) << error;

    ModemOptions options;
    options.port = Com();
    options.timeout = std::chrono::seconds(2);  // answers through Wine and a pty, under load too
    ModemCard card(options);
    char spn[MTS_SPN_BUFFER_SIZE] = {};
    int32_t code = 0;
    EXPECT_FALSE(card.ReadSpn(spn, sizeof spn, code));
    EXPECT_EQ(code, 14);
    ASSERT_TRUE(card.ReadSpn(spn, sizeof spn, code)) << code;
    EXPECT_EQ(std::string(spn), "\xD6\xD0\xB9\xFA\xD2\xC6\xB6\xAF");

    char imsi[MTS_IMSI_BUFFER_SIZE] = {};
    EXPECT_TRUE(card.ReadImsi(imsi, sizeof imsi, code));
    EXPECT_EQ(std::string(imsi), "460001234567890");
    EXPECT_FALSE(card.ReadImsi(imsi, sizeof imsi, code));
    EXPECT_EQ(code, 10003);
    EXPECT_TRUE(card.ReadImsi(imsi, sizeof imsi, code)) << code;

    Events events;
    card.Check(events);
    EXPECT_EQ(events.codes, std::vector<int32_t>{50082});
}

}  // namespace
