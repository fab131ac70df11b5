// The cipher under the reference host's crypt plug-in: AES-256-CBC with PKCS#7 padding, SHA-256
// and random bytes, from the operating system's maintained library (one source file per OS).
#pragma once

#include <cstddef>
#include <vector>

namespace hostcipher {

using Bytes = std::vector<unsigned char>;

constexpr size_t kKeySize = 32;
constexpr size_t kBlockSize = 16;
constexpr size_t kDigestSize = 32;

// False when the library fails.
bool Sha256(const unsigned char* data, size_t size, unsigned char digest[kDigestSize]);
bool RandomBytes(unsigned char* out, size_t size);

// key: kKeySize bytes, iv: kBlockSize bytes. Encrypting pads to whole blocks; decrypting fails on
// bad padding (as a wrong key mostly gives).
bool AesCbc(bool bEncrypt, const unsigned char* key, const unsigned char* iv,
            const unsigned char* in, size_t size, Bytes& out);

inline bool AesCbcEncrypt(const unsigned char* key, const unsigned char* iv,
                          const unsigned char* plain, size_t size, Bytes& cipher) {
    return AesCbc(true, key, iv, plain, size, cipher);
}
// Fails at once on a size that is not whole blocks, whatever the library would make of it.
inline bool AesCbcDecrypt(const unsigned char* key, const unsigned char* iv,
                          const unsigned char* cipher, size_t size, Bytes& plain) {
    if (size == 0 || size % kBlockSize != 0) return false;
    return AesCbc(false, key, iv, cipher, size, plain);
}

}  // namespace hostcipher
