#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "platform/crypto/Base64.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/crypto/Uuid.h"

using plat::Base64;
using plat::Digest;

TEST(Digest, Md5KnownVectors) {
    EXPECT_EQ(Digest::hex(Digest::md5("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest::hex(Digest::md5("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest::hex(Digest::md5("The quick brown fox jumps over the lazy dog")),
              "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(Digest::hex(Digest::md5("abc"), true), "900150983CD24FB0D6963F7D28E17F72");
    // Bytes after a zero byte count too when the caller passes them.
    EXPECT_NE(Digest::md5(std::string_view("a\0b", 3)), Digest::md5("a"));
}

TEST(Digest, Sha256KnownVectors) {
    EXPECT_EQ(Digest::hex(Digest::sha256("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Digest::hex(Digest::sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(
        Digest::hex(Digest::sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
        "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // The 44-character Base64 form used for password hashes.
    EXPECT_EQ(Base64::encode(Digest::sha256("")), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
}

TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64::encode(std::string_view(plain)), encoded);
        auto decoded = Base64::decode(encoded);
        ASSERT_TRUE(decoded) << encoded;
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), plain);
    }
}

TEST(Base64, AllByteValuesRoundTripWithoutLineBreaks) {
    std::vector<uint8_t> all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<uint8_t>(i));
    const std::string text = Base64::encode(all);
    EXPECT_EQ(text.size(), 344u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(*Base64::decode(text), all);
}

TEST(Base64, StrictDecoderRefusesNonCanonicalText) {
    for (const char* bad : {"Zg=", "Zg", "Z===", "====", "Zg==Zg==", "Zh==", "Zm9=", "Zm9v\n",
                            " Zm9v", "Zm9v!", "=Zm9", "Zm=v", "Zm9v-_", "Zg=a"}) {
        EXPECT_FALSE(Base64::decode(bad)) << bad;
    }
}

TEST(Uuid, PlatformTextForm) {
    const std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string uuid = plat::Uuid::createString();
        ASSERT_TRUE(std::regex_match(uuid, form)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(Random, CoversAllThirtyTwoBits) {
    uint32_t anyOne = 0, allOnes = ~0u;
    for (int i = 0; i < 2000; ++i) {
        const uint32_t r = plat::Random::uint32();
        anyOne |= r;
        allOnes &= r;
    }
    // Each bit was set at least once and cleared at least once (failure odds: 64 * 2^-2000).
    EXPECT_EQ(anyOne, 0xFFFFFFFFu);
    EXPECT_EQ(allOnes, 0u);
}
