#include "PluginSession.h"

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
    return dir + LibraryFileName("LoginPlugin");
}
