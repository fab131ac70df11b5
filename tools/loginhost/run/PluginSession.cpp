#include "PluginSession.h"

#include <cstdio>
#include <fstream>

#include "LoginAbi.h"
#include "platform/module.h"

PluginSession::~PluginSession() {
    Shutdown();
}

bool PluginSession::Load(const std::string& path) {
    if (!m_library.Load(path)) {
        m_strError = m_library.Error();
        return false;
    }
    auto create = reinterpret_cast<CreatePluginFn>(m_library.Symbol(LOGIN_CREATE_PLUGIN_EXPORT));
    if (!create) {
        m_strError = path + " does not export " LOGIN_CREATE_PLUGIN_EXPORT;
        return false;
    }
    m_pPlugin = create();
    if (!m_pPlugin) {
        m_strError = LOGIN_CREATE_PLUGIN_EXPORT "() returned no plug-in";
        return false;
    }
    // Before any text crosses: a plug-in of another binary contract would crash on the first.
    uint32_t tag = 0;
    if (!LoginAbiMatches(m_pPlugin, &tag)) {
        char why[160];
        std::snprintf(why, sizeof why,
                      " was built for another binary contract (plug-in ABI %08x, host %08x)",
                      static_cast<unsigned>(tag), static_cast<unsigned>(LoginAbiTag()));
        m_strError = path + why;
        m_pPlugin = nullptr;  // nothing more is called on it, Release included
        return false;
    }
    return true;
}

void PluginSession::Shutdown() {
    if (!m_pPlugin) return;
    if (auto* destroy = dynamic_cast<IDestroyEvent*>(m_pPlugin)) destroy->OnDestroy();
    m_pPlugin->Release();
    m_pPlugin = nullptr;
}

std::string DefaultPluginPath() {
    std::string exe = GetHostExecutablePath();
    const auto cut = exe.find_last_of(PathSeparator());
    const std::string dir = cut == std::string::npos ? std::string() : exe.substr(0, cut + 1);
    std::string beside = dir + LibraryFileName("LoginPlugin");
    // Installed: the library is in the library folder, relative to the programs' folder.
    if (!std::ifstream(beside).is_open()) {
        std::string installed =
            dir + LOGINHOST_PLUGIN_DIR_FROM_BIN + "/" + LibraryFileName("LoginPlugin");
        if (std::ifstream(installed).is_open()) return installed;
    }
    return beside;
}
