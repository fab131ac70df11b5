// The reference host's plug-in container: serves the interfaces registered with it.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "IPluginContainer.h"

class HostContainer : public IPluginContainer {
public:
    // The container does not own what it serves; Release of a served interface is the
    // interface's business (the host's services ignore it).
    void Serve(const std::string& pluginId, int32_t number, IBaseInterface* pInterface);
    void Withdraw(const std::string& pluginId, int32_t number);

    bool QueryInterface(const char* pluginId, int32_t number,
                        IBaseInterface** ppInterface) override;

private:
    std::mutex m_mutex;
    std::map<std::pair<std::string, int32_t>, IBaseInterface*> m_served;
};
