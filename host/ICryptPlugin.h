// The host's crypt plug-in.
#pragma once

#include <string>

#include "IBaseInterface.h"

class ICryptPlugin : public IBaseInterface {
public:
    virtual std::string Encrypt(const std::string& plain) = 0;
    // Inverts Encrypt.
    virtual std::string Decrypt(const std::string& cipher) = 0;
    // Decodes count bytes of input into pOutput, which holds 2 * count bytes and is never
    // written past that. 0 on success.
    virtual int32_t DecryptBuffer(const unsigned char* pInput, uint32_t count,
                                  unsigned char* pOutput, const unsigned char* pKey,
                                  uint32_t keyLength) = 0;

protected:
    ~ICryptPlugin() = default;
};
