// The host's crypt plug-in.
#pragma once

#include <string>
#include "FakeReleaseCounter.h"
#include "ICryptPlugin.h"

// Enciphers by a reversible byte mapping marked with a prefix, so a test can tell enciphered
// text from plain text. DecryptBuffer XORs with the key (enough for the engine's call sequence).
class FakeCrypt : public ICryptPlugin, public FakeReleaseCounter {
public:
    void Release() override { CountRelease(); }
    int32_t GetErrorCode() override { return 0; }
    std::string Encrypt(const std::string& plain) override;
    std::string Decrypt(const std::string& cipher) override;
    int32_t DecryptBuffer(const unsigned char* pInput, uint32_t count, unsigned char* pOutput,
                          const unsigned char* pKey, uint32_t keyLength) override;
};
