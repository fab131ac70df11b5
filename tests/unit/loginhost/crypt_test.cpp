// The reference host's crypt plug-in: the cipher against published vectors (so that the OpenSSL
// and the CNG builds agree), the text form, and the buffer bound the plug-in relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostCipher.h"
#include "HostCrypt.h"

namespace {

hostcipher::Bytes FromHex(const std::string& hex) {
    hostcipher::Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(HostCipher, MatchesPublishedVectors) {
    unsigned char digest[hostcipher::kDigestSize];
    ASSERT_TRUE(hostcipher::Sha256(Bytes("abc"), 3, digest));
    EXPECT_EQ(hostcipher::Bytes(digest, digest + 32),
              FromHex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));

    // AES-256-CBC, the first block of the NIST SP 800-38A example.
    const auto key = FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const auto iv = FromHex("000102030405060708090a0b0c0d0e0f");
    const auto plain = FromHex("6bc1bee22e409f96e93d7e117393172a");
    hostcipher::Bytes cipher;
    ASSERT_TRUE(
        hostcipher::AesCbcEncrypt(key.data(), iv.data(), plain.data(), plain.size(), cipher));
    ASSERT_EQ(cipher.size(), 32u);  // one block of padding follows
    EXPECT_EQ(hostcipher::Bytes(cipher.begin(), cipher.begin() + 16),
              FromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    hostcipher::Bytes back;
    ASSERT_TRUE(
        hostcipher::AesCbcDecrypt(key.data(), iv.data(), cipher.data(), cipher.size(), back));
    EXPECT_EQ(back, plain);
    EXPECT_FALSE(hostcipher::AesCbcDecrypt(key.data(), iv.data(), cipher.data(), 20, back));
}

TEST(HostCrypt, TextsGoRoundAndDifferEachTime) {
    HostCrypt crypt;
    for (const std::string& plain :
         std::vector<std::string>{"", "working key", std::string("\0\xff\x01", 3)}) {
        const std::string sealed = crypt.Encrypt(plain);
        EXPECT_EQ(sealed.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(crypt.Decrypt(sealed), plain);
    }
    EXPECT_NE(crypt.Encrypt("same"), crypt.Encrypt("same"));
}

TEST(HostCrypt, DecryptOfAnythingElseIsEmpty) {
    HostCrypt crypt;
    const std::string sealed = crypt.Encrypt("secret");
    EXPECT_EQ(crypt.Decrypt("secret"), "");
    EXPECT_EQ(crypt.Decrypt(sealed.substr(0, sealed.size() - 2)), "");
    EXPECT_EQ(crypt.Decrypt(sealed.substr(0, 32)), "");
    EXPECT_EQ(crypt.Decrypt(sealed + "0"), "");
    EXPECT_EQ(crypt.Decrypt("zz" + sealed.substr(2)), "");
}

// DecryptBuffer into a buffer of exactly twice the input, fenced by guard bytes.
struct Fenced {
    static constexpr unsigned char kGuard = 0xA5;
    explicit Fenced(size_t count) : bytes(2 * count + 64, kGuard), size(2 * count) {}
    unsigned char* Out() { return bytes.data(); }
    bool FenceIntact() const {
        for (size_t i = size; i < bytes.size(); ++i)
            if (bytes[i] != kGuard) return false;
        return true;
    }
    std::vector<unsigned char> bytes;
    size_t size;
};

TEST(HostCrypt, BuffersGoRoundUnderTheWorkingKeyWithinTwiceTheInput) {
    HostCrypt crypt;
    const std::string key = "table key";
    for (size_t n : {0, 1, 15, 16, 17, 100, 4096}) {
        const std::string plain(n, 'x');
        const std::string encoded = HostCrypt::EncodeBuffer(plain, key);
        ASSERT_FALSE(encoded.empty());
        Fenced out(encoded.size());
        ASSERT_EQ(crypt.DecryptBuffer(Bytes(encoded), static_cast<uint32_t>(encoded.size()),
                                      out.Out(), Bytes(key), static_cast<uint32_t>(key.size())),
                  0)
            << n;
        EXPECT_EQ(std::string(out.bytes.begin(), out.bytes.begin() + n), plain);
        EXPECT_TRUE(out.FenceIntact()) << n;
    }
}

TEST(HostCrypt, BadBuffersAndKeysFailWithoutWritingPastTheBound) {
    HostCrypt crypt;
    const std::string encoded = HostCrypt::EncodeBuffer("<main/>", "right");
    const auto run = [&](const std::string& input, const std::string& key) {
        Fenced out(input.size());
        const int32_t result =
            crypt.DecryptBuffer(Bytes(input), static_cast<uint32_t>(input.size()), out.Out(),
                                Bytes(key), static_cast<uint32_t>(key.size()));
        EXPECT_TRUE(out.FenceIntact());
        return result;
    };
    EXPECT_EQ(run(encoded, ""), HostCrypt::kNoKey);
    EXPECT_EQ(run("", "right"), HostCrypt::kBadSize);
    EXPECT_EQ(run(encoded.substr(0, 16), "right"), HostCrypt::kBadSize);
    EXPECT_EQ(run(encoded + "x", "right"), HostCrypt::kBadSize);
    EXPECT_EQ(run(encoded, "right"), 0);
    // A wrong key almost always breaks the padding; when it does not, the text is not the table.
    Fenced out(encoded.size());
    const int32_t wrong = crypt.DecryptBuffer(Bytes(encoded), static_cast<uint32_t>(encoded.size()),
                                              out.Out(), Bytes(std::string("wrong")), 5);
    EXPECT_TRUE(wrong != 0 || std::string(reinterpret_cast<char*>(out.Out()), 7) != "<main/>");
}

}  // namespace
