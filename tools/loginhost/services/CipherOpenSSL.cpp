// The host's cipher on OpenSSL's EVP interface.
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

#include "HostCipher.h"

namespace hostcipher {

namespace {

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

}  // namespace

bool AesCbc(bool bEncrypt, const unsigned char* key, const unsigned char* iv,
            const unsigned char* in, size_t size, Bytes& out) {
    if (size > static_cast<size_t>(INT_MAX) - kBlockSize) return false;
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx ||
        EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key, iv, bEncrypt ? 1 : 0) != 1)
        return false;
    // EVP may write one block more than it is given.
    Bytes buffer(size + kBlockSize);
    int n = 0;
    int tail = 0;
    if (EVP_CipherUpdate(ctx.get(), buffer.data(), &n, in, static_cast<int>(size)) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), buffer.data() + n, &tail) != 1)
        return false;
    buffer.resize(static_cast<size_t>(n) + static_cast<size_t>(tail));
    out.swap(buffer);
    return true;
}

bool Sha256(const unsigned char* data, size_t size, unsigned char digest[kDigestSize]) {
    unsigned int n = 0;
    return EVP_Digest(data, size, digest, &n, EVP_sha256(), nullptr) == 1 && n == kDigestSize;
}

bool RandomBytes(unsigned char* out, size_t size) {
    return size <= static_cast<size_t>(INT_MAX) && RAND_bytes(out, static_cast<int>(size)) == 1;
}

}  // namespace hostcipher
