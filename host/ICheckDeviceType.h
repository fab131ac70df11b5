// The host's data-card access (plug-in ID PLUGIN_ID_CHECK_DEVICE_TYPE, number
// IID_CHECK_DEVICE_TYPE): the communication interface and device-event registration.
//
// Called by the login object: AddDeviceEvent on the host's thread inside QueryInterface(IID_LOGIN)
// (once, when the login object is made), RemoveDeviceEvent inside IDestroyEvent::OnDestroy, and
// GetMTSComm, SRVGetImsiInfo and SRVGetSpnData from the plug-in's worker thread as well as from the
// thread that delivers device events: the card must be safe to read from any thread.
#pragma once

#include "IBaseInterface.h"

// Device event codes (ICheckDeviceEvent::OnDeviceEvent). Only a change acts: the same code twice
// in a row is taken once.
constexpr int32_t DEVICE_EVENT_AVAILABLE = 50082;  // a card with a ready SIM: brand, skin, identity
constexpr int32_t DEVICE_EVENT_CHANGED = 50083;    // the card went or changed: identity read again

// The kind the login object registers for with AddDeviceEvent and RemoveDeviceEvent.
constexpr int32_t DEVICE_EVENT_KIND_CARD = 1;

// The host's reasons for a failed card read (MTSComm's out error). The SPN read is asked again
// every 2 s (60 times at most) on SIM_BUSY and TIMEOUT, given up at once on SPN_NOT_FOUND and
// NO_SIM; any other number ends it too. The last reason becomes the login's state code when the
// SPN cannot be read.
constexpr int32_t DEVICE_ERROR_SIM_BUSY = 14;       // the SIM is not ready yet
constexpr int32_t DEVICE_ERROR_SPN_NOT_FOUND = 22;  // the SIM has no service-provider name file
constexpr int32_t DEVICE_ERROR_TIMEOUT = 10003;     // the card did not answer
constexpr int32_t DEVICE_ERROR_NO_SIM = 10301;      // no SIM inserted (or no card at all)
// The modem's own error numbers would collide with the server's result codes, so a host turns
// every other device error into one of these.
constexpr int32_t DEVICE_ERROR_DEVICE = 10300;         // any other device error
constexpr int32_t DEVICE_ERROR_SIM_PIN = 10302;        // the SIM waits for its PIN
constexpr int32_t DEVICE_ERROR_SIM_PUK = 10303;        // the SIM waits for its PUK
constexpr int32_t DEVICE_ERROR_SIM_FAILURE = 10304;    // the SIM failed, or refused the file read
constexpr int32_t DEVICE_ERROR_BAD_ANSWER = 10305;     // the device answered what it should not
constexpr int32_t DEVICE_ERROR_HOST_STOPPING = 10306;  // the host is stopping: no more reads

// A listener for the host's device events. The host calls it on the thread that delivers its
// device events; pData must not be null (a call with null is ignored) and is not read.
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
    // On true the buffer (MTS_IMSI_BUFFER_SIZE bytes) holds a zero-terminated IMSI; on false
    // error holds a DEVICE_ERROR_* (or the host's own number). No IMSI makes the plug-in use a
    // default identity of its own (see the host guide).
    virtual bool SRVGetImsiInfo(char* pImsi, int32_t& error) = 0;
    // On true the buffer (MTS_SPN_BUFFER_SIZE bytes) holds the zero-terminated service-provider
    // name in the system code page (GBK for Chinese); on false error as above.
    virtual bool SRVGetSpnData(char* pSpn, int32_t& error) = 0;

protected:
    ~MTSComm() = default;
};

class ICheckDeviceType : public IBaseInterface {
public:
    // Null when there is no card: the plug-in then keeps its default identity and brand.
    virtual MTSComm* GetMTSComm() = 0;
    // kind is DEVICE_EVENT_KIND_CARD. A listener stays registered until RemoveDeviceEvent: a host
    // that skips IDestroyEvent::OnDestroy keeps calling a destroyed login object.
    virtual bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) = 0;
    virtual bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t kind) = 0;

protected:
    ~ICheckDeviceType() = default;
};
