// The one way to hold an interface the host hands out: HostRef<T> owns it and releases it once,
// on every way out, and QueryHost<T> asks the container for it by plug-in id and number.
#pragma once

#include <cstdint>
#include <utility>

#include "IPluginContainer.h"

// Move-only owner of one host interface. The destructor and Reset swallow what Release throws
// (nothing more can be done with an interface on its way out); Release lets it through, for the
// callers whose result depends on a clean release.
template <typename T>
class HostRef {
public:
    HostRef() = default;
    explicit HostRef(T* p) : m_p(p) {}
    ~HostRef() { Reset(); }
    HostRef(HostRef&& other) noexcept : m_p(other.Detach()) {}
    HostRef& operator=(HostRef&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = other.Detach();
        }
        return *this;
    }
    HostRef(const HostRef&) = delete;
    HostRef& operator=(const HostRef&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Gives the interface back now, quietly.
    void Reset() noexcept {
        if (T* p = Detach()) {
            try {
                p->Release();
            } catch (...) {
            }
        }
    }
    // Gives the interface back now; what Release throws reaches the caller.
    void Release() {
        if (T* p = Detach()) p->Release();
    }
    // Hands the interface over without releasing it.
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};

// The container's interface `number` of plug-in `pluginId` as a T, or an empty owner when there
// is no container, the container refuses or serves nothing, or serves something that is not a T
// (which is given back at once). `pAnswered`, when given, tells whether the container said yes.
// What the container or the wrong object's Release throws reaches the caller.
template <typename T>
HostRef<T> QueryHost(IPluginContainer* pContainer, const char* pluginId, int32_t number,
                     bool* pAnswered = nullptr) {
    if (pAnswered) *pAnswered = false;
    if (!pContainer) return {};
    IBaseInterface* pBase = nullptr;
    const bool bAnswered = pContainer->QueryInterface(pluginId, number, &pBase);
    if (pAnswered) *pAnswered = bAnswered;
    if (!bAnswered || !pBase) return {};
    T* pTyped = dynamic_cast<T*>(pBase);
    if (!pTyped) pBase->Release();
    return HostRef<T>(pTyped);
}
