#include "HostCrypt.h"

#include <cstring>

#include "HostCipher.h"

namespace {

using hostcipher::Bytes;
using hostcipher::kBlockSize;

// The key of the host's own texts (setting values such as the proxy password and the working
// key). A reference host keeps it in the program; a product host would keep it protected.
const char* const kTextSecret = "loginhost reference host: text key 1";

bool DeriveKey(const unsigned char* material, size_t size,
               unsigned char key[hostcipher::kKeySize]) {
    return hostcipher::Sha256(material, size, key);
}

// IV followed by the ciphertext of plain; empty on failure.
Bytes Seal(const unsigned char* key, const std::string& plain) {
    Bytes out(kBlockSize);
    Bytes body;
    if (!hostcipher::RandomBytes(out.data(), kBlockSize) ||
        !hostcipher::AesCbcEncrypt(key, out.data(),
                                   reinterpret_cast<const unsigned char*>(plain.data()),
                                   plain.size(), body))
        return {};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool Open(const unsigned char* key, const unsigned char* sealed, size_t size, Bytes& plain) {
    if (size < 2 * kBlockSize || size % kBlockSize != 0) return false;
    return hostcipher::AesCbcDecrypt(key, sealed, sealed + kBlockSize, size - kBlockSize, plain);
}

bool TextKey(unsigned char key[hostcipher::kKeySize]) {
    return DeriveKey(reinterpret_cast<const unsigned char*>(kTextSecret), std::strlen(kTextSecret),
                     key);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string HostCrypt::Encrypt(const std::string& plain) {
    unsigned char key[hostcipher::kKeySize];
    if (!TextKey(key)) return {};
    const Bytes sealed = Seal(key, plain);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(sealed.size() * 2);
    for (unsigned char b : sealed) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}

std::string HostCrypt::Decrypt(const std::string& cipher) {
    if (cipher.size() % 2 != 0) return {};
    Bytes sealed(cipher.size() / 2);
    for (size_t i = 0; i < sealed.size(); ++i) {
        const int hi = HexValue(cipher[2 * i]);
        const int lo = HexValue(cipher[2 * i + 1]);
        if (hi < 0 || lo < 0) return {};
        sealed[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    unsigned char key[hostcipher::kKeySize];
    Bytes plain;
    if (!TextKey(key) || !Open(key, sealed.data(), sealed.size(), plain)) return {};
    return std::string(plain.begin(), plain.end());
}

int32_t HostCrypt::DecryptBuffer(const unsigned char* pInput, uint32_t count,
                                 unsigned char* pOutput, const unsigned char* pKey,
                                 uint32_t keyLength) {
    unsigned char key[hostcipher::kKeySize];
    Bytes plain;
    if (!pKey || keyLength == 0 || !DeriveKey(pKey, keyLength, key)) return m_nError = kNoKey;
    if (!pInput || !pOutput || count < 2 * kBlockSize || count % kBlockSize != 0)
        return m_nError = kBadSize;
    if (!Open(key, pInput, count, plain)) return m_nError = kBadData;
    // The caller's buffer holds twice the input; the plain text is shorter than the input, but
    // the bound is the contract, so it is checked rather than assumed.
    if (plain.size() > 2 * static_cast<size_t>(count)) return m_nError = kTooLong;
    if (!plain.empty()) std::memcpy(pOutput, plain.data(), plain.size());
    return m_nError = 0;
}

std::string HostCrypt::EncodeBuffer(const std::string& plain, const std::string& workingKey) {
    unsigned char key[hostcipher::kKeySize];
    if (workingKey.empty() || !DeriveKey(reinterpret_cast<const unsigned char*>(workingKey.data()),
                                         workingKey.size(), key))
        return {};
    const Bytes sealed = Seal(key, plain);
    return std::string(sealed.begin(), sealed.end());
}

const char* HostCrypt::DefaultWorkingKey() {
    return "loginhost default brand table key";
}
