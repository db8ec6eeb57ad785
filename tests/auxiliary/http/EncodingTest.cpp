// Base64 with line lengths and its lenient decoder, hexadecimal, UUID texts, the shared queue.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "auxiliary/http/EncodingCategories.h"

namespace {

plat::Bytes bytes(const std::string& text) {
    return plat::Bytes(text.begin(), text.end());
}

TEST(EncodingCategories, Base64EncodesWithLineBreaksAndDecodesLeniently) {
    EXPECT_EQ(base64Encoding(bytes("abc")), "YWJj");
    EXPECT_EQ(base64Encoding(bytes("ab")), "YWI=");
    EXPECT_EQ(base64Encoding(bytes("a")), "YQ==");
    EXPECT_EQ(base64Encoding({}), "");
    const std::string line = base64EncodingWithLineLength(plat::Bytes(57, 'x'), 76);
    EXPECT_EQ(line.size(), 77U);
    EXPECT_EQ(line.back(), '\n');
    const std::string longer = base64EncodingWithLineLength(plat::Bytes(58, 'x'), 76);
    EXPECT_EQ(longer.size(), 76U + 1 + 4);
    EXPECT_EQ(longer[76], '\n');
    EXPECT_NE(longer.back(), '\n');
    // Line length 10 gives 12-character lines; above 65,532 there is never a break.
    EXPECT_EQ(base64EncodingWithLineLength(plat::Bytes(18, 'x'), 10).find('\n'), 12U);
    EXPECT_EQ(base64EncodingWithLineLength(plat::Bytes(60000, 'x'), 65533).find('\n'),
              std::string::npos);

    EXPECT_EQ(initWithBase64EncodedString("YW Jj"), bytes("abc"));
    EXPECT_EQ(initWithBase64EncodedString("YW\nJj"), bytes("abc"));
    EXPECT_EQ(initWithBase64EncodedString("YWJ"), plat::Bytes{});
    EXPECT_EQ(initWithBase64EncodedString("YWI="), bytes("ab"));
    EXPECT_EQ(initWithBase64EncodedString("YQ==YWJj"), bytes("a"));
    EXPECT_EQ(initWithBase64EncodedString("=YWJj"), plat::Bytes{});
    EXPECT_EQ(initWithBase64EncodedString(std::nullopt), plat::Bytes{});
    EXPECT_EQ(initWithBase64EncodedString("YWJj\xC3\xA9"), plat::Bytes{});  // not ASCII
    // "=" after a single value: the missing slot is 0, never a value left from earlier.
    EXPECT_EQ(initWithBase64EncodedString("YWJjY="), plat::Bytes({'a', 'b', 'c', 0x60}));
    EXPECT_EQ(initWithBase64EncodedString("Y="), plat::Bytes({0x60}));

    EXPECT_EQ(base16Encoding(plat::Bytes({0x0A, 0xFF})), "0aff");
    EXPECT_EQ(base16Encoding({}), "");
}

TEST(EncodingCategories, UuidsDifferAndOneQueueServesEveryThread) {
    const std::string a = stringWithNewUUID(), b = stringWithNewUUID();
    EXPECT_EQ(a.size(), 36U);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find_first_of("abcdef"), std::string::npos);

    std::vector<std::thread> threads;
    std::vector<plat::OperationQueue*> seen(8);
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { seen[i] = sharedOperationQueue().get(); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<plat::OperationQueue*>(seen.begin(), seen.end()).size(), 1U);
    EXPECT_EQ(seen[0], sharedOperationQueue().get());
}

}  // namespace
