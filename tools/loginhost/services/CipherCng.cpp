// The host's cipher on Windows CNG (bcrypt).
#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "HostCipher.h"

namespace hostcipher {

namespace {

bool Ok(NTSTATUS status) {
    return status >= 0;
}

class Algorithm {
public:
    explicit Algorithm(const wchar_t* name) {
        if (!Ok(BCryptOpenAlgorithmProvider(&m_handle, name, nullptr, 0))) m_handle = nullptr;
    }
    ~Algorithm() {
        if (m_handle) BCryptCloseAlgorithmProvider(m_handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE get() const { return m_handle; }

private:
    BCRYPT_ALG_HANDLE m_handle = nullptr;
};

class Key {
public:
    ~Key() {
        if (m_handle) BCryptDestroyKey(m_handle);
    }
    BCRYPT_KEY_HANDLE* out() { return &m_handle; }
    BCRYPT_KEY_HANDLE get() const { return m_handle; }

private:
    BCRYPT_KEY_HANDLE m_handle = nullptr;
};

}  // namespace

bool AesCbc(bool bEncrypt, const unsigned char* key, const unsigned char* iv,
            const unsigned char* in, size_t size, Bytes& out) {
    if (size > static_cast<size_t>(ULONG_MAX) - kBlockSize) return false;
    Algorithm aes(BCRYPT_AES_ALGORITHM);
    if (!aes.get()) return false;
    auto* mode = const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_CBC);
    if (!Ok(BCryptSetProperty(aes.get(), BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode),
                              sizeof(BCRYPT_CHAIN_MODE_CBC), 0)))
        return false;
    Key handle;
    if (!Ok(BCryptGenerateSymmetricKey(aes.get(), handle.out(), nullptr, 0, const_cast<PUCHAR>(key),
                                       kKeySize, 0)))
        return false;
    // CNG updates the IV in place: it gets a copy.
    unsigned char chain[kBlockSize];
    memcpy(chain, iv, kBlockSize);
    Bytes buffer(size + kBlockSize);
    ULONG n = 0;
    auto* input = const_cast<PUCHAR>(in);
    const NTSTATUS status =
        bEncrypt ? BCryptEncrypt(handle.get(), input, static_cast<ULONG>(size), nullptr, chain,
                                 kBlockSize, buffer.data(), static_cast<ULONG>(buffer.size()), &n,
                                 BCRYPT_BLOCK_PADDING)
                 : BCryptDecrypt(handle.get(), input, static_cast<ULONG>(size), nullptr, chain,
                                 kBlockSize, buffer.data(), static_cast<ULONG>(buffer.size()), &n,
                                 BCRYPT_BLOCK_PADDING);
    if (!Ok(status) || n > buffer.size()) return false;
    buffer.resize(n);
    out.swap(buffer);
    return true;
}

bool Sha256(const unsigned char* data, size_t size, unsigned char digest[kDigestSize]) {
    if (size > ULONG_MAX) return false;
    Algorithm sha(BCRYPT_SHA256_ALGORITHM);
    if (!sha.get()) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Ok(BCryptCreateHash(sha.get(), &hash, nullptr, 0, nullptr, 0, 0))) return false;
    const bool ok =
        Ok(BCryptHashData(hash, const_cast<PUCHAR>(data), static_cast<ULONG>(size), 0)) &&
        Ok(BCryptFinishHash(hash, digest, kDigestSize, 0));
    BCryptDestroyHash(hash);
    return ok;
}

bool RandomBytes(unsigned char* out, size_t size) {
    return size <= ULONG_MAX && Ok(BCryptGenRandom(nullptr, out, static_cast<ULONG>(size),
                                                   BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace hostcipher
