// A current-user registry of the test's own: on POSIX a fresh store in a temporary directory
// (LOGINPLUGIN_REGISTRY points at it, the proxy variables are cleared); on Windows the real
// registry, with the keys that the tests touch removed first and again afterwards, and the
// browser's proxy value put back as it was.
#pragma once

#include <string>

// Keys that tests may make freely.
#define SANDBOX_TEST_KEY "Software\\LoginPluginTest"

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Makes the key and every missing key above it, as an installer would.
    void CreateKey(const std::string& path);
    bool KeyExists(const std::string& path) const;
    // True for a key that lives only until the system restarts.
    bool IsVolatile(const std::string& path) const;
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    // The text of a string value, without its terminator; false when there is no such value.
    bool GetString(const std::string& path, const std::string& name, std::string& value) const;
    // Puts something in the way of making that key or writing that value; false where the
    // platform offers no way.
    bool BlockKey(const std::string& path);
    bool BlockValue(const std::string& path, const std::string& name);

    // Local time is then UTC, so that tests can name the time digits they expect.
    static void UseUtc();
};
