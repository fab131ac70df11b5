#include <windows.h>

#include "platform/registry.h"

namespace {

REGSAM Sam(RegAccess access) {
    return access == RegAccess::All ? KEY_ALL_ACCESS : KEY_READ;
}

// "A\\B\\" and "\\A\\\\B" both name A\B, as they do in the POSIX store.
std::string Normalized(const std::string& path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) {
            if (!out.empty()) out += '\\';
            out.append(path, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

}  // namespace

struct RegKey::Impl {
    HKEY hKey = nullptr;
    // Checked here too: Wine lets a handle opened for reading write all the same.
    RegAccess access = RegAccess::Read;
    ~Impl() {
        if (hKey) RegCloseKey(hKey);
    }
};

void RegKey::ImplDeleter::operator()(Impl* pImpl) const noexcept {
    delete pImpl;
}

RegKey RegKey::OpenCurrentUser(const std::string& path, RegAccess access) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Normalized(path).c_str(), 0, Sam(access), &hKey) !=
        ERROR_SUCCESS)
        return RegKey();
    ImplPtr pImpl(new Impl);
    pImpl->hKey = hKey;
    pImpl->access = access;
    return RegKey(std::move(pImpl));
}

RegKey RegKey::CreateSubKey(const std::string& name, RegAccess access, bool bVolatile) const {
    // One key at a time: Windows would make every missing key of a path.
    if (!m_pImpl || m_pImpl->access != RegAccess::All || name.empty() ||
        name.find('\\') != std::string::npos)
        return RegKey();
    HKEY hKey = nullptr;
    DWORD disposition = 0;
    const DWORD options = bVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
    if (RegCreateKeyExA(m_pImpl->hKey, name.c_str(), 0, nullptr, options, Sam(access), nullptr,
                        &hKey, &disposition) != ERROR_SUCCESS)
        return RegKey();
    ImplPtr pImpl(new Impl);
    pImpl->hKey = hKey;
    pImpl->access = access;
    return RegKey(std::move(pImpl));
}

bool RegKey::QueryValue(const std::string& name, void* pBuffer, uint32_t& size) const {
    if (!m_pImpl) return false;
    DWORD type = 0;
    DWORD bytes = pBuffer ? size : 0;
    const LONG rc = RegQueryValueExA(m_pImpl->hKey, name.c_str(), nullptr, &type,
                                     static_cast<BYTE*>(pBuffer), &bytes);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) size = bytes;
    return rc == ERROR_SUCCESS;
}

bool RegKey::SetStringValue(const std::string& name, const std::string& value) const {
    if (!m_pImpl || m_pImpl->access != RegAccess::All) return false;
    const std::string text(value.c_str());
    return RegSetValueExA(m_pImpl->hKey, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}
