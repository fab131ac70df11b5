// The registry as a tree of plain files: a key is a directory, a string value is a file holding
// the text (one trailing newline, as an editor leaves it, is not part of the value). Names are
// taken as they are (case counts). Names beginning with '.' belong to the store itself: the
// marker of a volatile key (".volatile", holding the boot id it was made in) and temporary files.
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/registry.h"

namespace {

const char* const kVolatileMarker = ".volatile";
// Values are small texts; anything larger is not ours.
constexpr uint64_t kMaxValueBytes = 1u << 20;

std::string Root() {
    if (const char* root = std::getenv(kRegistryRootVariable); root && *root) return root;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/loginplugin/registry";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else {
        struct passwd pw {};
        struct passwd* found = nullptr;
        std::vector<char> buf(16384);
        if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found)
            home = found->pw_dir;
    }
    if (home.empty()) return {};
    return home + "/.config/loginplugin/registry";
}

bool ValidName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// Splits "A\B\" into its parts; false when a part is not a valid name.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            if (!ValidName(part)) return false;
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return true;
}

// A value, a key's marker: a regular file of the store's own (never a link, a FIFO or a device
// another user put in its place), of at most kMaxValueBytes.
bool ReadSmallFile(const std::string& path, std::string& text) {
    return ReadFileContents(path, text, kMaxValueBytes) == FileReadResult::Ok &&
           text.size() <= kMaxValueBytes;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && std::strchr(" \t\r\n", text.back())) text.pop_back();
    return text;
}

const std::string& BootId() {
    // Fixed for the life of the process. Without one, volatile keys simply never expire.
    static const std::string id = [] {
        std::string text;
        ReadSmallFile("/proc/sys/kernel/random/boot_id", text);
        return Trimmed(text);
    }();
    return id;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class KeyState { Absent, Live, LiveVolatile, Stale };

// A volatile key made before the last restart reads as absent, as on Windows.
KeyState StateOf(const std::string& dir) {
    if (!IsDirectory(dir)) return KeyState::Absent;
    std::string marker;
    if (!ReadSmallFile(dir + "/" + kVolatileMarker, marker)) return KeyState::Live;
    return Trimmed(marker) == BootId() ? KeyState::LiveVolatile : KeyState::Stale;
}

bool IsLive(KeyState state) {
    return state == KeyState::Live || state == KeyState::LiveVolatile;
}

bool Allows(const std::string& dir, RegAccess access) {
    const int mode = access == RegAccess::All ? (R_OK | W_OK | X_OK) : (R_OK | X_OK);
    return ::access(dir.c_str(), mode) == 0;
}

// Moves a stale key out of the way first, so that a half-finished removal never shows.
void RemoveStaleKey(const std::string& parent, const std::string& dir) {
    std::string pattern = parent + "/.stale-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    std::error_code ec;
    const char* graveyard = ::mkdtemp(name.data());
    if (graveyard && std::rename(dir.c_str(), (std::string(graveyard) + "/key").c_str()) == 0) {
        std::filesystem::remove_all(graveyard, ec);
        return;
    }
    if (graveyard) std::filesystem::remove(graveyard, ec);
    std::filesystem::remove_all(dir, ec);
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: the target was checked absent just before.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// Makes the key complete with its marker before it appears under its name. 0 or an errno value.
int MakeVolatileKey(const std::string& parent, const std::string& dir) {
    std::string pattern = parent + "/.newkey-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) return errno;
    const std::string temp(name.data());
    int error = 0;
    if (!ReplaceFileAtomically(temp + "/" + kVolatileMarker, BootId() + "\n"))
        error = EIO;
    else if (!RenameNoReplace(temp, dir))
        error = errno;
    if (error != 0) {
        std::error_code ec;
        std::filesystem::remove_all(temp, ec);
    }
    return error;
}

int MakeKey(const std::string& dir) {
    return ::mkdir(dir.c_str(), 0700) == 0 ? 0 : errno;
}

}  // namespace

struct RegKey::Impl {
    std::string dir;
    RegAccess access;
};

void RegKey::ImplDeleter::operator()(Impl* pImpl) const noexcept {
    delete pImpl;
}

RegKey RegKey::OpenCurrentUser(const std::string& path, RegAccess access) {
    std::vector<std::string> parts;
    std::string dir = Root();
    if (dir.empty() || !SplitPath(path, parts) || !IsDirectory(dir)) return RegKey();
    for (const auto& part : parts) {
        dir += "/" + part;
        if (!IsLive(StateOf(dir))) return RegKey();
    }
    if (!Allows(dir, access)) return RegKey();
    return RegKey(ImplPtr(new Impl{dir, access}));
}

RegKey RegKey::CreateSubKey(const std::string& name, RegAccess access, bool bVolatile) const {
    // One key at a time: a path would have to make the keys above the last one.
    if (!m_pImpl || m_pImpl->access != RegAccess::All || !ValidName(name) ||
        name.find('\\') != std::string::npos)
        return RegKey();
    const std::string& parent = m_pImpl->dir;
    const KeyState parentState = StateOf(parent);
    if (!IsLive(parentState)) return RegKey();
    const std::string dir = parent + "/" + name;

    // Two tries: another process may make the same key between the look and the make.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const KeyState state = StateOf(dir);
        if (IsLive(state)) {
            if (!Allows(dir, access)) return RegKey();
            return RegKey(ImplPtr(new Impl{dir, access}));
        }
        if (state == KeyState::Stale) {
            RemoveStaleKey(parent, dir);
        } else if (::access(dir.c_str(), F_OK) == 0) {
            return RegKey();  // a value of that name
        }
        // As on Windows, the children of a volatile key must be volatile too.
        if (parentState == KeyState::LiveVolatile && !bVolatile) return RegKey();
        const int error = bVolatile ? MakeVolatileKey(parent, dir) : MakeKey(dir);
        if (error == 0) return RegKey(ImplPtr(new Impl{dir, access}));
        if (error != EEXIST && error != ENOTEMPTY) return RegKey();
    }
    return RegKey();
}

bool RegKey::QueryValue(const std::string& name, void* pBuffer, uint32_t& size) const {
    if (!m_pImpl || !ValidName(name)) return false;
    const std::string path = m_pImpl->dir + "/" + name;
    std::string text;
    if (!ReadSmallFile(path, text)) return false;
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    const auto needed = static_cast<uint32_t>(text.size() + 1);
    if (!pBuffer) {
        size = needed;
        return true;
    }
    const uint32_t capacity = size;
    size = needed;
    if (capacity < needed) return false;
    std::memcpy(pBuffer, text.c_str(), needed);
    return true;
}

bool RegKey::SetStringValue(const std::string& name, const std::string& value) const {
    if (!m_pImpl || m_pImpl->access != RegAccess::All || !ValidName(name)) return false;
    if (!IsLive(StateOf(m_pImpl->dir))) return false;
    const std::string path = m_pImpl->dir + "/" + name;
    if (IsDirectory(path)) return false;
    // The text up to its terminating zero is what a string value holds.
    return ReplaceFileAtomically(path, std::string(value.c_str()));
}
