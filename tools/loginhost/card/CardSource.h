// Where the reference host's data card comes from: the simulated card of card.ini, a modem's AT
// port, or the system's modem service. Each is one class behind CardSource; the host serves the
// plug-in's MTSComm and device events from it, so the plug-in never knows which one it talks to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Tells the host of device changes; the host forwards them to the plug-in's listeners.
class DeviceEventSink {
public:
    virtual ~DeviceEventSink() = default;
    virtual void OnDeviceEvent(int32_t code) = 0;  // 50082 card ready, 50083 card gone/changed
    // Why the card is not reported ready although it is there (a locked SIM), said once.
    virtual void OnCardNote(const std::string& text) { (void)text; }
};

// Where the data card behind MTSComm comes from. Safe to call from any thread.
class CardSource {
public:
    virtual ~CardSource() = default;
    // As MTSComm: fill buf (GBK, zero-terminated, at most size bytes) and return true, or set
    // error to the device error code and return false.
    virtual bool ReadImsi(char* buf, size_t size, int32_t& error) = 0;
    virtual bool ReadSpn(char* buf, size_t size, int32_t& error) = 0;
    // False when there is no card interface at all (GetMTSComm then answers null).
    virtual bool HasComm() const = 0;
    // A source that watches a real device reports its changes to sink from Start until Stop.
    virtual void Start(DeviceEventSink& sink) { (void)sink; }
    virtual void Stop() {}
    // From now on every read fails at once with a final error: the host is stopping.
    virtual void Cancel() {}
    // For a source that reports its own readiness: why it has not reported the card ready (the
    // SIM's lock, no SIM, no answer, ...), empty when it has.
    virtual std::string NotReadyWhy() const { return {}; }
};
