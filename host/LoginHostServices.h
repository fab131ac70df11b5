// Optional base classes for a host's services, header-only. Each does the IBaseInterface
// boilerplate once (Release does nothing: the host owns its services for the plug-in's whole life;
// GetErrorCode answers 0) and answers what a host may leave out, so that a host writes only what
// it serves. Every class here may be called from any thread (see the host guide, Threads).
#pragma once

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ICheckDeviceType.h"
#include "ICryptPlugin.h"
#include "INetConnect.h"
#include "IPluginContainer.h"
#include "ISetting.h"
#include "IStringResMgr.h"

// The IBaseInterface part of a service the host keeps.
template <class Interface>
class LoginHostService : public Interface {
public:
    void Release() override {}
    int32_t GetErrorCode() override { return 0; }
};

// Settings: a host implements GetSysSetting; the rest answers "no such setting" and ignores writes.
class LoginHostSetting : public LoginHostService<ISetting> {
public:
    bool SetSysSetting(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
    bool GetUserSetting(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SetUserSetting(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
    bool GetNamedSetting(const std::string&, std::string&) override { return false; }
    void SetSimTypeNumber(int32_t) override {}
};

// The data card: a host implements GetMTSComm (null when there is no card); the listeners are
// kept here, and SendDeviceEvent tells them, on the calling thread.
class LoginHostDevice : public LoginHostService<ICheckDeviceType> {
public:
    bool AddDeviceEvent(ICheckDeviceEvent* pEvent, int32_t) override {
        if (!pEvent) return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listeners.push_back(pEvent);
        return true;
    }
    bool RemoveDeviceEvent(ICheckDeviceEvent* pEvent, int32_t) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = std::find(m_listeners.begin(), m_listeners.end(), pEvent);
        if (it == m_listeners.end()) return false;
        m_listeners.erase(it);
        return true;
    }
    // DEVICE_EVENT_AVAILABLE or DEVICE_EVENT_CHANGED to every listener.
    void SendDeviceEvent(int32_t code) {
        std::vector<ICheckDeviceEvent*> listeners;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            listeners = m_listeners;
        }
        static int data = 0;  // the listeners want a pointer and do not read it
        for (ICheckDeviceEvent* pEvent : listeners) pEvent->OnDeviceEvent(code, &data);
    }
    size_t ListenerCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_listeners.size();
    }

private:
    std::mutex m_mutex;
    std::vector<ICheckDeviceEvent*> m_listeners;
};

// A host without a view of its connection: always connected, never held.
class LoginHostNetConnect : public LoginHostService<INetConnect> {
public:
    int32_t GetConnectState() override { return NET_STATE_CONNECTED; }
};
class LoginHostCheckNetConnection : public LoginHostService<ICheckNetConnection> {
public:
    int32_t CheckConnection() override { return NET_CHECK_OK; }
};

// Strings and crypt: the host implements the operations.
using LoginHostStringResMgr = LoginHostService<IStringResMgr>;
using LoginHostCrypt = LoginHostService<ICryptPlugin>;

// A container that serves a table of services by plug-in ID and number. Any thread may ask it
// while the host adds to it (the login interface, once it exists, for the other plug-ins). The
// IDs are kept as pointers: pass the PLUGIN_ID_* literals or texts that outlive the container.
class LoginHostContainer : public IPluginContainer {
public:
    void Serve(const char* pluginId, int32_t number, IBaseInterface* pInterface) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.push_back({pluginId, number, pInterface});
    }
    bool QueryInterface(const char* pluginId, int32_t number,
                        IBaseInterface** ppInterface) override {
        if (!ppInterface) return false;
        *ppInterface = nullptr;
        if (!pluginId) return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Entry& e : m_entries) {
            if (e.number == number && std::strcmp(e.pluginId, pluginId) == 0) {
                *ppInterface = e.pInterface;
                return e.pInterface != nullptr;
            }
        }
        return false;
    }

private:
    struct Entry {
        const char* pluginId;
        int32_t number;
        IBaseInterface* pInterface;
    };
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};
