// The host's data-card access: the communication interface and device-event registration.
#pragma once

#include "IBaseInterface.h"

// Device event codes acted on by listeners.
constexpr int32_t DEVICE_EVENT_AVAILABLE = 50082;
constexpr int32_t DEVICE_EVENT_CHANGED = 50083;

// A listener for the host's device events.
class ICheckDeviceEvent {
public:
    virtual bool OnDeviceEvent(int32_t code, void* pData) = 0;

protected:
    ~ICheckDeviceEvent() = default;
};

// Sizes of the buffers that the caller hands to MTSComm.
constexpr int MTS_IMSI_BUFFER_SIZE = 18;
constexpr int MTS_SPN_BUFFER_SIZE = 32;

// The data card's communication interface; owned by the host, never released by callers.
class MTSComm {
public:
    // On true the buffer holds a zero-terminated IMSI; on false error holds the host's reason.
    virtual bool SRVGetImsiInfo(char* pImsi, int32_t& error) = 0;
    // On true the buffer holds the zero-terminated service-provider name.
    virtual bool SRVGetSpnData(char* pSpn, int32_t& error) = 0;

protected:
    ~MTSComm() = default;
};

class ICheckDeviceType : public IBaseInterface {
public:
    virtual MTSComm* GetMTSComm() = 0;
    virtual bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) = 0;
    virtual bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) = 0;

protected:
    ~ICheckDeviceType() = default;
};
