// The host's plug-in container: hands out what the test serves by plug-in id and number, and
// counts the queries.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include "IPluginContainer.h"

class FakeContainer : public IPluginContainer {
public:
    bool QueryInterface(const char* pluginId, int32_t number,
                        IBaseInterface** ppInterface) override;
    void Serve(const std::string& pluginId, int32_t number, IBaseInterface* pInterface);
    // Answers false for that interface from now on (as a host that serves nothing).
    void Withdraw(const std::string& pluginId, int32_t number);
    int Queries(const std::string& pluginId, int32_t number) const;

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, int32_t>, IBaseInterface*> m_served;
    std::map<std::pair<std::string, int32_t>, int> m_queries;
};
