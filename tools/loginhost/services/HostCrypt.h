// The reference host's crypt plug-in.
//
// Texts: Encrypt gives lower-case hex of a random 16-byte IV followed by AES-256-CBC of the text
// under the host's own key; Decrypt inverts it and gives an empty text for anything else.
// Buffers (the encoded brand table): IV followed by AES-256-CBC of the plain bytes, under the
// SHA-256 of the working key that the caller passes (the Decrypt of the "CRYPT"/"CRYPT" setting).
#pragma once

#include <atomic>
#include <string>

#include "ICryptPlugin.h"

class HostCrypt : public ICryptPlugin {
public:
    // DecryptBuffer's failure codes.
    static constexpr int32_t kNoKey = -1;
    static constexpr int32_t kBadSize = -2;
    static constexpr int32_t kBadData = -3;
    static constexpr int32_t kTooLong = -4;

    void Release() override {}
    int32_t GetErrorCode() override { return m_nError; }
    std::string Encrypt(const std::string& plain) override;
    std::string Decrypt(const std::string& cipher) override;
    int32_t DecryptBuffer(const unsigned char* pInput, uint32_t count, unsigned char* pOutput,
                          const unsigned char* pKey, uint32_t keyLength) override;

    // The bytes that DecryptBuffer turns back into plain under this working key; empty when the
    // cipher fails.
    static std::string EncodeBuffer(const std::string& plain, const std::string& workingKey);

    // The working key a profile without a "CRYPT"/"CRYPT" setting gets.
    static const char* DefaultWorkingKey();

private:
    std::atomic<int32_t> m_nError{0};
};
