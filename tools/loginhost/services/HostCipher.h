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
// a size that is not whole blocks or on bad padding (as a wrong key mostly gives).
bool AesCbcEncrypt(const unsigned char* key, const unsigned char* iv, const unsigned char* plain,
                   size_t size, Bytes& cipher);
bool AesCbcDecrypt(const unsigned char* key, const unsigned char* iv, const unsigned char* cipher,
                   size_t size, Bytes& plain);

}  // namespace hostcipher
