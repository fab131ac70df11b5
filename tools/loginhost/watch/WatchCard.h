// The host's data card as the system's modem service sees it (`loginhost watch`): a snapshot of
// the chosen modem and its SIM, served to the plug-in as MTSComm, with device events on every
// change of the card. Plain C++: the D-Bus side (ModemManagerClient) hands it snapshots.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CardSource.h"
#include "ICheckDeviceType.h"
#include "OperatorTable.h"

// Device error codes, as a modem's AT port gives them.
constexpr int32_t kCardErrorBusy = DEVICE_ERROR_SIM_BUSY;
constexpr int32_t kCardErrorNoSpn = DEVICE_ERROR_SPN_NOT_FOUND;
constexpr int32_t kCardErrorTimeout = DEVICE_ERROR_TIMEOUT;  // here: no modem service
constexpr int32_t kCardErrorNoSim = DEVICE_ERROR_NO_SIM;
constexpr int32_t kCardErrorSimPin = DEVICE_ERROR_SIM_PIN;
constexpr int32_t kCardErrorSimPuk = DEVICE_ERROR_SIM_PUK;

// The modem service's lock numbers that the host names.
constexpr uint32_t kModemLockNone = 1;
constexpr uint32_t kModemLockSimPin = 2;
constexpr uint32_t kModemLockSimPuk = 4;
// The modem service's state of a modem switched off.
constexpr int32_t kModemStateDisabled = 3;

enum class ModemStatus {
    kNoService,    // the modem service is not on the bus
    kNoModem,      // no modem (or not the one asked for)
    kNoSim,        // a modem without a SIM
    kSimNotReady,  // a SIM, but the modem is locked, disabled or still starting, or no IMSI yet
    kReady,
};

// What the modem service says of the card; texts in UTF-8 as the bus carries them.
struct ModemSnapshot {
    ModemStatus status = ModemStatus::kNoService;
    std::vector<std::string> modems;  // the objects of every modem there is
    std::string modemPath;            // the chosen modem's object, when there is one
    std::string equipmentId;
    std::string simPath;
    std::string imsi;
    std::string spn;
    std::string operatorId;       // the SIM's MCC and MNC
    int32_t modemState = 0;       // the service's modem state number
    uint32_t unlockRequired = 0;  // the service's lock number (1 none, 2 SIM PIN, 4 SIM PUK, ...)
    bool bSimUnread = false;      // the SIM object could not be read; asked for at the next change

    bool IsReady() const { return status == ModemStatus::kReady; }
    bool operator==(const ModemSnapshot& o) const {
        return status == o.status && modems == o.modems && modemPath == o.modemPath &&
               equipmentId == o.equipmentId && simPath == o.simPath && imsi == o.imsi &&
               spn == o.spn && operatorId == o.operatorId && modemState == o.modemState &&
               unlockRequired == o.unlockRequired && bSimUnread == o.bSimUnread;
    }
    // The same SIM in the same modem, ready both times.
    bool SameCard(const ModemSnapshot& other) const;
};

// The device events that tell the plug-in of the change from `before` to `after`: 50083 when a
// ready card goes or changes, then 50082 when a ready card is there.
std::vector<int32_t> DeviceEventsBetween(const ModemSnapshot& before, const ModemSnapshot& after);

class WatchCard : public CardSource {
public:
    // For a SIM whose name the service does not give: operators names it by its operator
    // identifier; else bNameFallback says the host has a brand name of its own (string 11004),
    // so that such a SIM reads as a ready one with an empty name, which the plug-in replaces by
    // that string. onNoSpn: told (on the reading thread) when neither helps.
    explicit WatchCard(bool bNameFallback = false, std::function<void()> onNoSpn = {},
                       OperatorTable operators = {})
        : m_bNameFallback(bNameFallback),
          m_onNoSpn(std::move(onNoSpn)),
          m_operators(std::move(operators)) {}

    bool ReadImsi(char* buf, size_t size, int32_t& error) override;
    bool ReadSpn(char* buf, size_t size, int32_t& error) override;
    bool HasComm() const override { return true; }
    // A card that is ready when the plug-in starts listening is announced at once.
    void Start(DeviceEventSink& sink) override;
    void Stop() override;

    // The service's new view: the card changes first, so that the plug-in reads the new SIM when
    // it hears of it; then the events go out. On the thread that runs the bus.
    void Update(const ModemSnapshot& now);
    ModemSnapshot Current() const;

private:
    const bool m_bNameFallback;
    const std::function<void()> m_onNoSpn;
    const OperatorTable m_operators;
    mutable std::mutex m_mutex;
    ModemSnapshot m_snapshot;
    DeviceEventSink* m_pSink = nullptr;
};
