#include <gtest/gtest.h>

#include <string>

#include "platform/core/Exception.h"
#include "vnlib/service/auth/DataSupport.h"
#include "vnlib/service/auth/NSDataBase64Additions.h"

namespace {

plat::Bytes bytesOf(std::string_view text) {
    return plat::Bytes(text.begin(), text.end());
}

}  // namespace

TEST(DataSupport, DigestsHaveTheServiceTextForms) {
    EXPECT_EQ(DataSupport::MD5Hash("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(DataSupport::SHA256Hash("abc"),
              "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(DataSupport::SHA256HashBase64("abc"), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
    EXPECT_EQ(DataSupport::MD5Hash(""), "D41D8CD98F00B204E9800998ECF8427E");
    // Thai text is hashed as its UTF-8 bytes.
    EXPECT_EQ(DataSupport::SHA256HashBase64("รหัส|user"),
              "SaTSMZnVOF46eQ2S9dKUetxQZ/OPQ+DdbXGcNZetPj8=");
}

TEST(DataSupport, TextsAreHashedUpToTheFirstZeroByte) {
    const std::string withZero("abc\0def", 7);
    EXPECT_EQ(DataSupport::MD5Hash(withZero), DataSupport::MD5Hash("abc"));
    EXPECT_EQ(DataSupport::SHA256Hash(withZero), DataSupport::SHA256Hash("abc"));
    EXPECT_EQ(DataSupport::SHA256HashBase64(withZero), DataSupport::SHA256HashBase64("abc"));
}

TEST(DataSupport, Base64EncodingIsPaddedAndUnwrapped) {
    EXPECT_EQ(DataSupport::Base64Encode({}), "");
    EXPECT_EQ(DataSupport::Base64Encode(bytesOf("f")), "Zg==");
    EXPECT_EQ(DataSupport::Base64Encode(bytesOf("fo")), "Zm8=");
    EXPECT_EQ(DataSupport::Base64Encode(bytesOf("foo")), "Zm9v");
    const std::string longer(100, 'x');
    EXPECT_EQ(DataSupport::Base64Encode(bytesOf(longer)).find('\n'), std::string::npos);
}

TEST(Base64Decoding, AcceptsWrappedAndUnpaddedText) {
    const auto padded = dataWithBase64EncodedString("SGVsbG8sIFdvcmxkIQ==");
    ASSERT_TRUE(padded);
    EXPECT_EQ(*padded, bytesOf("Hello, World!"));
    EXPECT_EQ(dataWithBase64EncodedString("SGVs\nbG8s\r\nIFdv cmxk\tIQ"), padded);
    EXPECT_EQ(dataWithBase64EncodedString(" SGVsbG8sIFdvcmxkIQ== \n"), padded);
    EXPECT_EQ(dataWithBase64EncodedString("Zm8"), bytesOf("fo"));
    EXPECT_EQ(dataWithBase64EncodedString("Zg"), bytesOf("f"));
    EXPECT_EQ(dataWithBase64EncodedString(""), plat::Bytes());
    EXPECT_EQ(dataWithBase64EncodedString("\n==\n"), plat::Bytes());
}

TEST(Base64Decoding, MalformedTextGivesNothingRatherThanPartialBytes) {
    EXPECT_EQ(dataWithBase64EncodedString("Zm9vY"), std::nullopt);     // one leftover symbol
    EXPECT_EQ(dataWithBase64EncodedString("Zm9vY==="), std::nullopt);  // padding does not help
    EXPECT_EQ(dataWithBase64EncodedString("Zm9v*mFy"), std::nullopt);  // outside the alphabet
    EXPECT_EQ(dataWithBase64EncodedString("Zm9v-_"), std::nullopt);    // URL-safe alphabet
    EXPECT_EQ(dataWithBase64EncodedString("Zm9vYmFy\xe0\xb8\x81"), std::nullopt);  // non-ASCII
    EXPECT_EQ(dataWithBase64EncodedString(std::string_view("Zm9v\0YmFy", 9)), std::nullopt);
    EXPECT_THROW(dataWithBase64EncodedString(std::nullopt), plat::Exception);
}

TEST(Base64Decoding, ReadsBackEveryEncoding) {
    for (size_t length = 0; length <= 7; ++length) {
        for (int start = 0; start < 256; start += 37) {
            plat::Bytes bytes;
            for (size_t i = 0; i < length; ++i)
                bytes.push_back(static_cast<uint8_t>(start + i * 101));
            EXPECT_EQ(dataWithBase64EncodedString(DataSupport::Base64Encode(bytes)), bytes)
                << "length " << length << " start " << start;
        }
    }
}
