// The data card of a real modem, over its AT port: the IMSI (AT+CIMI), the service-provider name
// (AT+CRSM reads EF_SPN) and the device events: 50082 once the port answers and the SIM is ready,
// 50083 when the port stops answering, disappears or shows another IMSI. While started, a thread
// checks the card every few seconds. Every read ends within the command time-out, however the
// device behaves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "AtChannel.h"
#include "CardSource.h"
#include "ICheckDeviceType.h"
#include "platform/serial.h"

// Device error codes handed to the plug-in.
namespace modem_error {
constexpr int32_t kSimBusy = DEVICE_ERROR_SIM_BUSY;
constexpr int32_t kSpnNotFound = DEVICE_ERROR_SPN_NOT_FOUND;
constexpr int32_t kNoAnswer = DEVICE_ERROR_TIMEOUT;
constexpr int32_t kNoSim = DEVICE_ERROR_NO_SIM;
constexpr int32_t kSimFailure = 13;  // the SIM answered the file read with another status
constexpr int32_t kBadAnswer = 100;  // the device answered what it should not
}  // namespace modem_error

// What a device error reply means to the plug-in: +CME ERROR: 10 is no SIM, any other number is
// itself; no final result (or a port gone) is a time-out; a plain ERROR is a bad answer.
int32_t DeviceErrorOf(const AtReply& reply);

struct ModemOptions {
    std::string port;
    uint32_t baud = 115200;
    std::chrono::milliseconds timeout{3000};   // for each read, and each check
    std::chrono::milliseconds interval{2000};  // between checks while started
};

class ModemCard final : public CardSource {
public:
    explicit ModemCard(ModemOptions options);
    ~ModemCard() override;

    bool ReadImsi(char* buf, size_t size, int32_t& error) override;
    bool ReadSpn(char* buf, size_t size, int32_t& error) override;
    bool HasComm() const override { return true; }
    void Start(DeviceEventSink& sink) override;
    void Stop() override;

    // One check of the device, as the thread makes it: reports what changed to sink.
    void Check(DeviceEventSink& sink);
    // Why the port could not be opened the last time, or empty.
    std::string OpenError() const;

private:
    using Clock = AtChannel::Clock;
    // With the port lock held: opens and initialises the port when needed.
    bool Ready(Clock::time_point deadline, int32_t& error);
    AtReply Command(const std::string& command, Clock::time_point deadline);
    // With the port lock held: readies the port and sends command; false with error set unless
    // the modem answered OK.
    bool Ask(const char* command, Clock::time_point deadline, AtReply& reply, int32_t& error);
    bool Imsi(Clock::time_point deadline, std::string& imsi, int32_t& error);
    bool Spn(Clock::time_point deadline, char* buf, size_t size, int32_t& error);
    // Runs read(deadline) with the port lock held, waiting no longer than the time-out for it.
    template <typename Read>
    bool WithPort(int32_t& error, Read read);
    void Run();

    // The port for one user at a time, waited for no longer than a deadline. (Not a
    // std::timed_mutex: ThreadSanitizer does not see its timed lock.)
    class PortLock {
    public:
        PortLock(ModemCard& card, Clock::time_point deadline);
        ~PortLock();
        bool Held() const { return m_bHeld; }

    private:
        ModemCard& m_card;
        bool m_bHeld = false;
    };

    const ModemOptions m_options;
    std::mutex m_portMutex;
    std::condition_variable m_portFree;
    bool m_bPortBusy = false;  // guarded by m_portMutex; the port and below by being true
    SerialPort m_port;
    bool m_bInitialised = false;
    mutable std::mutex m_errorMutex;
    std::string m_strLastOpenError;

    // The thread's view of the card.
    bool m_bReported = false;
    std::string m_strImsi;

    std::mutex m_runMutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    DeviceEventSink* m_pSink = nullptr;
    std::thread m_thread;
};
