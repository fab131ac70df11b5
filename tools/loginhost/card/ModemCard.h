// The data card of a real modem, over its AT port: the IMSI (AT+CIMI), the service-provider name
// (AT+CRSM reads EF_SPN) and the device events: 50082 once the port answers and the SIM is ready,
// 50083 when the card goes. While started, one thread checks the card every few seconds and
// another hands the events on, so a listener that takes long holds up neither. Every read ends
// within the command time-out, however the device behaves, and at once after Cancel.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "AtChannel.h"
#include "CardSource.h"
#include "ICheckDeviceType.h"
#include "platform/serial.h"

// Device error codes handed to the plug-in. The modem's own error numbers would collide with the
// server's result codes, so every one is turned into one of these.
namespace modem_error {
constexpr int32_t kSimBusy = DEVICE_ERROR_SIM_BUSY;
constexpr int32_t kSpnNotFound = DEVICE_ERROR_SPN_NOT_FOUND;
constexpr int32_t kNoAnswer = DEVICE_ERROR_TIMEOUT;
constexpr int32_t kDeviceError = DEVICE_ERROR_DEVICE;
constexpr int32_t kNoSim = DEVICE_ERROR_NO_SIM;
constexpr int32_t kSimPin = DEVICE_ERROR_SIM_PIN;
constexpr int32_t kSimPuk = DEVICE_ERROR_SIM_PUK;
constexpr int32_t kSimFailure = DEVICE_ERROR_SIM_FAILURE;
constexpr int32_t kBadAnswer = DEVICE_ERROR_BAD_ANSWER;
constexpr int32_t kStopping = DEVICE_ERROR_HOST_STOPPING;
}  // namespace modem_error

// Device events of the card.
constexpr int32_t kCardEventReady = DEVICE_EVENT_AVAILABLE;
constexpr int32_t kCardEventGone = DEVICE_EVENT_CHANGED;

// What a device error reply means to the plug-in: +CME ERROR 10 to 14 name the SIM's state,
// other numbered errors are a device error; no answer at all (or a port gone) is a time-out,
// the one error the plug-in asks again after; a refusal in words, a flood or lines without the
// answer asked for are a bad answer.
int32_t DeviceErrorOf(const AtReply& reply);
// True when the modem answered at all (a final result, or lines and then quiet).
bool Heard(const AtReply& reply);

struct ModemOptions {
    std::string port;
    uint32_t baud = 115200;
    std::chrono::milliseconds timeout{3000};   // for each read, and each check
    std::chrono::milliseconds interval{2000};  // between checks while started
    // Checks in a row that fail without saying the card is gone before 50083 is sent anyway.
    int failuresBeforeGone = 3;
    AtLimits limits;  // of each reply
};

// Opens the port and asks it "AT" a few times: false with why when it cannot be opened or never
// answers (a diagnostics or GPS port of the modem answers nothing).
bool ProbeAtPort(const std::string& port, uint32_t baud, std::chrono::milliseconds limit,
                 std::string& why);

class ModemCard final : public CardSource {
public:
    explicit ModemCard(ModemOptions options);
    ~ModemCard() override;

    bool ReadImsi(char* buf, size_t size, int32_t& error) override;
    bool ReadSpn(char* buf, size_t size, int32_t& error) override;
    bool HasComm() const override { return true; }
    void Start(DeviceEventSink& sink) override;
    void Stop() override;
    void Cancel() override;
    std::string NotReadyWhy() const override;

    // One check of the device, as the thread makes it: reports what changed to sink.
    void Check(DeviceEventSink& sink);
    // Why the port could not be opened the last time, or empty.
    std::string OpenError() const;

private:
    using Clock = AtChannel::Clock;
    // What one check found.
    enum class Found { kReady, kGone, kNoSim, kLocked, kUnsure };
    // What the card is, and why when not ready (a device error code).
    Found Look(std::string& imsi, int32_t& why, std::string& lockState);
    static Found FoundOf(int32_t error, std::string& lockState);
    // Told once the card has started (a note of a read may come before).
    void Note(const std::string& text);

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
    void Deliver();

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

    // Events of the checking thread, queued for the delivering one.
    class QueueSink : public DeviceEventSink {
    public:
        explicit QueueSink(ModemCard& card) : m_card(card) {}
        void OnDeviceEvent(int32_t code) override;
        void OnCardNote(const std::string& text) override;

    private:
        ModemCard& m_card;
    };
    struct Queued {
        int32_t code = 0;  // 0: a note
        std::string note;
    };

    const ModemOptions m_options;
    std::atomic<bool> m_bCancel{false};
    std::mutex m_portMutex;
    std::condition_variable m_portFree;
    bool m_bPortBusy = false;        // guarded by m_portMutex; the port and below by being true
    std::deque<uint64_t> m_waiting;  // guarded by m_portMutex: who waits for the port, in order
    uint64_t m_nNextTicket = 0;
    SerialPort m_port;
    bool m_bInitialised = false;
    bool m_bFloodNoted = false;  // a flood was told and the port has not answered since
    mutable std::mutex m_errorMutex;
    std::string m_strLastOpenError;

    // The checking thread's view of the card.
    bool m_bReported = false;
    std::string m_strImsi;
    int m_nFailures = 0;   // checks in a row that found nothing certain
    int32_t m_nNoted = 0;  // the lock last said why no event comes, or 0
    static constexpr int32_t kNotChecked = -1;
    std::atomic<int32_t> m_nLastCheck{kNotChecked};  // what the last check found, 0 ready

    std::mutex m_runMutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    std::deque<Queued> m_queue;  // guarded by m_runMutex
    DeviceEventSink* m_pSink = nullptr;
    QueueSink m_queueSink{*this};
    std::thread m_thread;
    std::thread m_deliverer;
};
