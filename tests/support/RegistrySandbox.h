// The current user's registry for one test: the keys that tests touch (the product's, the test
// key, the browser's proxy value) removed first and again afterwards.
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
    bool IsVolatile(const std::string& path) const;
    // Makes the key first when it is missing.
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    // The text of a string value without its terminator, or "<none>".
    std::string GetString(const std::string& path, const std::string& name) const;
    // Puts something in the way of making that key or writing that value; false where the
    // platform offers no way.
    bool BlockKey(const std::string& path);
    bool BlockValue(const std::string& path, const std::string& name);

    // Local time is then UTC, so that tests can name the time digits they expect.
    static void UseUtc();
};
