// One loaded plug-in, driven the way a host drives it.
#pragma once

#include <string>

#include "IBasePlugin.h"
#include "platform/dynlib.h"

class PluginSession {
public:
    PluginSession() = default;
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // Loads the library and calls CreatePlugin; false with Error() set on failure.
    bool Load(const std::string& path);
    IBasePlugin* Plugin() const { return m_pPlugin; }
    const std::string& Error() const { return m_strError; }
    // OnDestroy, then Release; safe to call twice.
    void Shutdown();

private:
    DynamicLibrary m_library;
    IBasePlugin* m_pPlugin = nullptr;
    std::string m_strError;
};

// The plug-in library beside the running program.
std::string DefaultPluginPath();
