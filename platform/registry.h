// The current user's registry: HKEY_CURRENT_USER on Windows; elsewhere a store of plain files in
// which keys are directories and string values are files (root: $LOGINPLUGIN_REGISTRY, else
// $XDG_CONFIG_HOME/loginplugin/registry, else ~/.config/loginplugin/registry).
//
// Key paths are given as on Windows, parts separated by '\'; empty parts are ignored, so a path
// may end with a separator. Nothing here creates a key implicitly: opening a key that does not
// exist fails, and only CreateSubKey makes a key, below one that is open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

// The variable that names the file store's root.
constexpr char kRegistryRootVariable[] = "LOGINPLUGIN_REGISTRY";

enum class RegAccess {
    Read,  // KEY_READ
    All,   // KEY_ALL_ACCESS
};

// An open key, closed when the object goes.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() = default;
    RegKey(RegKey&& other) noexcept = default;
    RegKey& operator=(RegKey&& other) noexcept = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens an existing key below HKEY_CURRENT_USER; an empty path is the root itself.
    static RegKey OpenCurrentUser(const std::string& path, RegAccess access);

    bool IsOpen() const { return m_pImpl != nullptr; }
    void Close() { m_pImpl.reset(); }

    // Opens the subkey, or creates it when it does not exist. bVolatile asks for a key that lives
    // until the system restarts; like the Windows option, it takes effect only on creation.
    RegKey CreateSubKey(const std::string& name, RegAccess access, bool bVolatile) const;

    // The value's data. With pBuffer null, size receives the number of bytes the data needs.
    // Otherwise size is the buffer's capacity on entry and the data's size on return; data that
    // does not fit fails (size then tells what it needs). Any value type is read; a string value
    // comes with its terminating zero.
    bool QueryValue(const std::string& name, void* pBuffer, uint32_t& size) const;

    // Writes a string value (REG_SZ), its terminating zero included.
    bool SetStringValue(const std::string& name, const std::string& value) const;

private:
    // Each OS face defines the key it holds and how it goes; the rest is here, once.
    struct Impl;
    struct ImplDeleter {
        void operator()(Impl* pImpl) const noexcept;
    };
    using ImplPtr = std::unique_ptr<Impl, ImplDeleter>;
    explicit RegKey(ImplPtr pImpl) : m_pImpl(std::move(pImpl)) {}
    ImplPtr m_pImpl;
};
