#include "CardEventLog.h"

void CardEventLog::OnDeviceEvent(int32_t code) {
    m_report.Line("event", std::to_string(code) + " from the card to " +
                               std::to_string(m_device.ListenerCount()) + " listener(s)");
    m_device.SendEvent(code);
    if (code == DEVICE_EVENT_AVAILABLE) ++m_nAvailable;
    if (code == DEVICE_EVENT_CHANGED) ++m_nChanged;
}

void CardEventLog::OnCardNote(const std::string& text) {
    m_report.Line("card", text);
}

bool CardEventLog::Counted(int32_t code) {
    return code == DEVICE_EVENT_AVAILABLE || code == DEVICE_EVENT_CHANGED;
}

int CardEventLog::Count(int32_t code) const {
    if (code == DEVICE_EVENT_AVAILABLE) return m_nAvailable;
    if (code == DEVICE_EVENT_CHANGED) return m_nChanged;
    return 0;
}

int CardEventLog::Taken(int32_t code) const {
    if (code == DEVICE_EVENT_AVAILABLE) return m_nTakenAvailable;
    if (code == DEVICE_EVENT_CHANGED) return m_nTakenChanged;
    return 0;
}

void CardEventLog::Take(int32_t code) {
    if (code == DEVICE_EVENT_AVAILABLE) ++m_nTakenAvailable;
    if (code == DEVICE_EVENT_CHANGED) ++m_nTakenChanged;
}
