// Text encodings, percent escapes in an encoding, RFC 1123 dates, relative URLs, MIME types.
#include <gtest/gtest.h>

#include "platform/core/DateFormatter.h"
#include "platform/net/TextEncoding.h"
#include "platform/net/Url.h"

using plat::TextEncoding;

TEST(TextEncoding, NamesMapToEncodingsAndInvalidBytesGiveNothing) {
    EXPECT_EQ(TextEncoding::encodingForIanaName(" TIS-620 "), plat::kThaiTis620StringEncoding);
    EXPECT_EQ(TextEncoding::encodingForIanaName("Windows-874"),
              plat::kThaiWindows874StringEncoding);
    EXPECT_EQ(TextEncoding::encodingForIanaName("UTF-8"), plat::NSUTF8StringEncoding);
    EXPECT_EQ(TextEncoding::encodingForIanaName("latin1"), plat::NSISOLatin1StringEncoding);
    EXPECT_FALSE(TextEncoding::encodingForIanaName("klingon"));
    EXPECT_EQ(TextEncoding::ianaNameForEncoding(plat::NSUTF8StringEncoding), "utf-8");
    EXPECT_FALSE(TextEncoding::ianaNameForEncoding(99));

    const std::string thai = "\xCA\xC7\xD1\xCA\xB4\xD5";  // "สวัสดี" in TIS-620
    EXPECT_EQ(TextEncoding::decode(thai, plat::kThaiTis620StringEncoding), "สวัสดี");
    EXPECT_EQ(TextEncoding::decode(thai, plat::kThaiWindows874StringEncoding), "สวัสดี");
    EXPECT_EQ(TextEncoding::encode("สวัสดี", plat::kThaiTis620StringEncoding), thai);
    EXPECT_EQ(TextEncoding::decode(std::string("caf\xE9"), plat::NSISOLatin1StringEncoding),
              "café");
    EXPECT_EQ(TextEncoding::decode(std::string("\xFF\xFEh\0i\0", 6), plat::NSUnicodeStringEncoding),
              "hi");
    EXPECT_FALSE(TextEncoding::decode(std::string("caf\xE9"), plat::NSUTF8StringEncoding));
    EXPECT_FALSE(TextEncoding::decode(std::string("\x80"), plat::NSASCIIStringEncoding));
    EXPECT_FALSE(TextEncoding::decode(std::string("\xC3"), plat::NSUTF8StringEncoding));

    EXPECT_EQ(TextEncoding::percentEscape("a b/ü~*", plat::NSUTF8StringEncoding),
              "a%20b%2F%C3%BC%7E%2A");
    EXPECT_EQ(TextEncoding::percentEscape("ü-_.", plat::NSISOLatin1StringEncoding), "%FC-_.");
    EXPECT_FALSE(TextEncoding::percentEscape("สวัสดี", plat::NSASCIIStringEncoding));

    EXPECT_EQ(plat::mimeTypeForPathExtension("PDF"), "application/pdf");
    EXPECT_EQ(plat::mimeTypeForPathExtension("jpeg"), "image/jpeg");
    EXPECT_EQ(plat::mimeTypeForPathExtension("unknownext"), "application/octet-stream");
}

TEST(DateFormatter, Rfc1123FormsParseWithTheirZoneAndImpossibleDatesDoNot) {
    using plat::DateFormatter;
    const auto utc = plat::TimeZone::utc();
    const double expected = 784111777;  // 1994-11-06 08:49:37 UTC
    EXPECT_EQ(DateFormatter("EEE, dd MMM yyyy HH:mm:ss z", utc)
                  .dateFromString("Sun, 06 Nov 1994 08:49:37 GMT")
                  ->seconds,
              expected);
    EXPECT_EQ(DateFormatter("dd MMM yyyy HH:mm:ss z", utc)
                  .dateFromString("06 nov 1994 08:49:37 GMT")
                  ->seconds,
              expected);
    EXPECT_EQ(DateFormatter("EEE, dd MMM yyyy HH:mm z", plat::TimeZone::fixedOffset(3600))
                  .dateFromString("Sun, 06 Nov 1994 09:49 GMT+01:00")
                  ->seconds,
              expected - 37);
    EXPECT_EQ(DateFormatter("dd MMM yyyy HH:mm:ss z", utc)
                  .dateFromString("06 Nov 1994 00:49:37 PST")
                  ->seconds,
              expected);
    EXPECT_EQ(DateFormatter("dd MMM yyyy HH:mm:ss z", utc)
                  .dateFromString("06 Nov 1994 10:49:37 +0200")
                  ->seconds,
              expected);
    for (const char* bad :
         {"31 Feb 1994 08:49:37 GMT", "06 Nox 1994 08:49:37 GMT", "06 Nov 1994 08:49:37 XYZ",
          "06 Nov 1994 08:49:37 GMT+25", "06 Nov 1994 08:49:37"})
        EXPECT_FALSE(DateFormatter("dd MMM yyyy HH:mm:ss z", utc).dateFromString(bad)) << bad;
    EXPECT_EQ(DateFormatter("EEE, dd MMM yyyy HH:mm:ss z", utc).stringFromDate({expected}),
              "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(DateFormatter("EEE dd MMM HH:mm z", plat::TimeZone::fixedOffset(-19800))
                  .stringFromDate({0}),
              "Wed 31 Dec 18:30 GMT-05:30");
}

TEST(Url, RelativeReferencesResolveAsRfc3986Says) {
    const auto base = *plat::Url::parse("http://a/b/c/d;p?q");
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {";x", "http://a/b/c/;x"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"https://x.org/p?q", "https://x.org/p?q"},
    };
    for (const auto& [reference, expected] : cases) {
        const auto resolved = plat::Url::resolve(reference, base);
        ASSERT_TRUE(resolved) << reference;
        EXPECT_EQ(resolved->absoluteString(), expected) << reference;
    }
    EXPECT_EQ(plat::Url::resolve("p", *plat::Url::parse("http://h"))->absoluteString(),
              "http://h/p");
    EXPECT_FALSE(plat::Url::resolve("http://bad host/", base));
    EXPECT_FALSE(plat::Url::resolve("p", plat::Url()));
}
