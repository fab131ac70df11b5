#include "platform/https.h"

#include <utility>

void HttpCancel::Cancel() {
    m_bCancelled = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_actions) entry.second();
}

HttpCancel::Subscription HttpCancel::Subscribe(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Checked under the lock: a Cancel() that set the flag first runs the actions after us.
    if (m_bCancelled) action();
    uint64_t nId = m_nNextId++;
    m_actions.emplace(nId, std::move(action));
    return Subscription(this, nId);
}

void HttpCancel::Unsubscribe(uint64_t nId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_actions.erase(nId);
}

HttpCancel::Subscription::Subscription(Subscription&& other) noexcept
    : m_pOwner(std::exchange(other.m_pOwner, nullptr)), m_nId(other.m_nId) {}

HttpCancel::Subscription& HttpCancel::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        if (m_pOwner) m_pOwner->Unsubscribe(m_nId);
        m_pOwner = std::exchange(other.m_pOwner, nullptr);
        m_nId = other.m_nId;
    }
    return *this;
}

HttpCancel::Subscription::~Subscription() {
    if (m_pOwner) m_pOwner->Unsubscribe(m_nId);
}

HttpHandle::HttpHandle(HttpHandle&& other) noexcept
    : m_pOwner(other.m_pOwner), m_value(std::exchange(other.m_value, 0)) {}

HttpHandle& HttpHandle::operator=(HttpHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_pOwner = other.m_pOwner;
        m_value = std::exchange(other.m_value, 0);
    }
    return *this;
}

void HttpHandle::Close() {
    if (m_value != 0) m_pOwner->CloseHandle(std::exchange(m_value, 0));
}
