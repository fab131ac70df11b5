// The device events the card source reports on its own thread: each is reported, forwarded to the
// plug-in's listeners and counted, so that the host's thread can wait for the next one.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "CardSource.h"
#include "HostReport.h"
#include "HostServices.h"

class CardEventLog : public DeviceEventSink {
public:
    CardEventLog(HostReport& report, HostDevice& device) : m_report(report), m_device(device) {}

    // Card source's thread.
    void OnDeviceEvent(int32_t code) override;
    void OnCardNote(const std::string& text) override;

    // Only card available and card changed are counted.
    static bool Counted(int32_t code);
    // How many events of this code came so far.
    int Count(int32_t code) const;
    // How many of them earlier waits took (host's thread), and one more taken.
    int Taken(int32_t code) const;
    void Take(int32_t code);

private:
    HostReport& m_report;
    HostDevice& m_device;
    std::atomic<int> m_nAvailable{0};
    std::atomic<int> m_nChanged{0};
    int m_nTakenAvailable = 0;
    int m_nTakenChanged = 0;
};
