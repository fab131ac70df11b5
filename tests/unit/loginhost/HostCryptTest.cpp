// The reference host's cipher against published vectors, so that the OpenSSL and the CNG builds
// agree. (The plug-in's use of it is tested with the brand table, under the address sanitizer.)
#include <gtest/gtest.h>

#include <string>

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
    // AES-256-CBC, the first block of the NIST SP 800-38A example; one block of padding follows.
    const auto key = FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const auto iv = FromHex("000102030405060708090a0b0c0d0e0f");
    const auto plain = FromHex("6bc1bee22e409f96e93d7e117393172a");
    hostcipher::Bytes cipher, back;
    ASSERT_TRUE(hostcipher::AesCbcEncrypt(key.data(), iv.data(), plain.data(), 16, cipher));
    ASSERT_EQ(cipher.size(), 32u);
    EXPECT_EQ(hostcipher::Bytes(cipher.begin(), cipher.begin() + 16),
              FromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    ASSERT_TRUE(hostcipher::AesCbcDecrypt(key.data(), iv.data(), cipher.data(), 32, back));
    EXPECT_EQ(back, plain);
    EXPECT_FALSE(hostcipher::AesCbcDecrypt(key.data(), iv.data(), cipher.data(), 20, back));
}

// The vectors of docs/host-guide.md: a host's own crypt plug-in that decodes them reads what
// `loginhost encrypt` and `loginhost encode-table` write.
TEST(HostCrypt, DecodesTheHostGuideVectors) {
    HostCrypt crypt;
    EXPECT_EQ(crypt.Decrypt("000102030405060708090a0b0c0d0e0f19d70f03d7a53ffeeb9762472ae76f88"),
              "secret");
    const auto table = FromHex(
        "000102030405060708090a0b0c0d0e0f"
        "312fb2f0d026aa9d80ee3d4dcd2ce697a42fa513825c55ae8529ad8f77057a90"
        "a9bcc172b78bf9d418704cbd88111bab14943aee04bfd4be7002ef0ec76a7ccf"
        "4a48aa3d4fc30f4ae0475a71e3834be83cedc1b42af964f616a19109aa9131da");
    const std::string key = HostCrypt::DefaultWorkingKey();
    // The plug-in's side of the call: twice the input, zero-filled, read up to the first zero.
    std::string plain(2 * table.size() + 1, '\0');
    ASSERT_EQ(crypt.DecryptBuffer(table.data(), static_cast<uint32_t>(table.size()),
                                  reinterpret_cast<unsigned char*>(&plain[0]), Bytes(key),
                                  static_cast<uint32_t>(key.size())),
              0);
    EXPECT_STREQ(plain.c_str(),
                 "<main><cardtype><name>CMCC</name><tag>3</tag><skinpath>skins\\cm</skinpath>"
                 "</cardtype></main>");
}

}  // namespace
