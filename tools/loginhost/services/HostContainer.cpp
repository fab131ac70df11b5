#include "HostContainer.h"

void HostContainer::Serve(const std::string& pluginId, int32_t number, IBaseInterface* pInterface) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_served[{pluginId, number}] = pInterface;
}

void HostContainer::Withdraw(const std::string& pluginId, int32_t number) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_served.erase({pluginId, number});
}

bool HostContainer::QueryInterface(const char* pluginId, int32_t number,
                                   IBaseInterface** ppInterface) {
    if (!pluginId || !ppInterface) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_served.find({pluginId, number});
    if (it == m_served.end()) return false;
    *ppInterface = it->second;
    return true;
}
