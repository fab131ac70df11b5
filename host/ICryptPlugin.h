// The host's crypt plug-in (plug-in ID PLUGIN_ID_CRYPT, number IID_CRYPT). Optional: without it
// no brand is found and no proxy password is deciphered; the login works.
//
// Called from the host's thread (login object made, device events, settings dialog) and from the
// plug-in's worker thread: safe from any thread. The cipher is the host's; the host guide gives
// the reference host's, with test vectors.
#pragma once

#include <string>

#include "IBaseInterface.h"

class ICryptPlugin : public IBaseInterface {
public:
    // Enciphers a setting value (the proxy password, written by the settings dialog).
    virtual std::string Encrypt(const std::string& plain) = 0;
    // Inverts Encrypt.
    virtual std::string Decrypt(const std::string& cipher) = 0;
    // Decodes count bytes of input (the brand table file) into pOutput, which holds 2 * count
    // bytes, zero-filled, and is never written past that; the key is the Decrypt of the
    // "CRYPT"/"CRYPT" setting. 0 on success; the text is read up to its first zero byte.
    virtual int32_t DecryptBuffer(const unsigned char* pInput, uint32_t count,
                                  unsigned char* pOutput, const unsigned char* pKey,
                                  uint32_t keyLength) = 0;

protected:
    ~ICryptPlugin() = default;
};
