// The program's own links read by hand: the known links, the word tables in their case, query
// splitting without decoding, links without host or path, and hostile text.
#include <gtest/gtest.h>

#include "app/links/VarnelUriData.h"

namespace {

struct Kinds {
    int32_t root, sublevel, content;
    bool operator==(const Kinds&) const = default;
};
Kinds kindsOf(const std::string& url) {
    auto data = VarnelUriData::dataWithURL(url);
    return {data->rootKind(), data->sublevelKind(), data->contentKind()};
}
std::ostream& operator<<(std::ostream& out, const Kinds& k) {
    return out << "(" << k.root << ", " << k.sublevel << ", " << k.content << ")";
}

TEST(UriParserTest, KnownLinksAndWordTablesReadExactlyInTheirCase) {
    // The known links are checked at the first parse, in every build.
    auto category = VarnelUriData::dataWithURL("varnel.kel://shop/magazine/category?id=promotion");
    EXPECT_TRUE(VarnelUriData::selfTestHasRun());
    EXPECT_EQ(VarnelUriData::selfTest(), std::nullopt);
    EXPECT_EQ(kindsOf(category->url()), (Kinds{1, 0, 2}));
    EXPECT_EQ(category->contentId(), "promotion");
    EXPECT_EQ(kindsOf("varnel.kel://shop/magazine?id=QUILL"), (Kinds{1, 0, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://shop/book/issue?id=0888-01293120-09992"), (Kinds{1, 1, 1}));
    EXPECT_EQ(kindsOf("varnel.kel://shop/magazine/pricelist?id=QUILL"), (Kinds{1, 0, 3}));
    EXPECT_EQ(kindsOf("varnel.kel://widget/newspaper/list?id=G"), (Kinds{2, 2, 4}));
    EXPECT_EQ(kindsOf("varnel.kel://app/audio/featured"), (Kinds{3, 3, 5}));
    EXPECT_EQ(kindsOf("varnel.kel://mes/mn/17"), (Kinds{5, 5, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://mes/mi"), (Kinds{5, 6, 0}));

    // Missing, empty and unknown content words; a sublevel word at the root and the reverse.
    EXPECT_EQ(kindsOf("varnel.kel://shop/magazine"), (Kinds{1, 0, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://shop/magazine/"), (Kinds{1, 0, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://shop/magazine/cover"), (Kinds{1, 0, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://shop?id=A"), (Kinds{1, -1, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://magazine/shop/issue"), (Kinds{-1, -1, 1}));
    EXPECT_EQ(kindsOf("varnel.kel://Shop/Magazine/Issue"), (Kinds{-1, -1, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://SHOP/magazine/ISSUE"), (Kinds{-1, 0, 0}));
    EXPECT_EQ(kindsOf("varnel.kel://u/r/SPRING"), (Kinds{4, 4, 0}));
    // Elements are taken after decoding; empty elements are skipped.
    EXPECT_EQ(kindsOf("varnel.kel://shop//%62ook///issue"), (Kinds{1, 1, 1}));
    // A user and port around the host do not hide it.
    EXPECT_EQ(kindsOf("varnel.kel://me@shop:8080/book"), (Kinds{1, 1, 0}));

    // The issue link the library writes keeps every query key.
    auto issue =
        VarnelUriData::dataWithURL("varnel.kel://library/book/issue?id=X&download=1&view=1");
    EXPECT_EQ(kindsOf(issue->url()), (Kinds{0, 1, 1}));
    EXPECT_EQ(issue->contentId(), "X");
    EXPECT_EQ(issue->contentId2(), std::nullopt);
    EXPECT_EQ(*issue->queryParams(),
              (VarnelUriData::QueryParams{{"id", "X"}, {"download", "1"}, {"view", "1"}}));
}

TEST(UriParserTest, QueryPiecesHostsAndPathsAsSettled) {
    // Last "id" wins; "id=" is empty, not missing; nothing is decoded; "a=b=c" keeps b.
    auto data = VarnelUriData::dataWithURL(
        "varnel.kel://shop/book?id=1&id2=x%20y&id=2&a=b=c&+plus=1+1&empty=#part%20two");
    EXPECT_EQ(data->contentId(), "2");
    EXPECT_EQ(data->contentId2(), "x%20y");
    EXPECT_EQ(data->queryParams()->at("a"), "b");
    EXPECT_EQ(data->queryParams()->at("+plus"), "1+1");
    EXPECT_EQ(data->queryParams()->at("empty"), "");
    EXPECT_EQ(data->fragment(), "part%20two");
    EXPECT_EQ(VarnelUriData::dataWithURL("varnel.kel://shop/book?id=")->contentId(), "");

    // A bare key gets ""; empty pieces and a trailing "?" give nothing.
    EXPECT_EQ(VarnelUriData::dictionaryFromUriQueryString("download&&id=7&"),
              (VarnelUriData::QueryParams{{"download", ""}, {"id", "7"}}));
    auto trailing = VarnelUriData::dataWithURL("varnel.kel://shop/book/issue?");
    ASSERT_TRUE(trailing->queryParams());
    EXPECT_TRUE(trailing->queryParams()->empty());
    EXPECT_EQ(trailing->contentId(), std::nullopt);
    EXPECT_EQ(trailing->fragment(), std::nullopt);

    // No host: root -1, the path still read. No path at all: nothing parsed.
    EXPECT_EQ(kindsOf("varnel.kel:///magazine/issue?id=1"), (Kinds{-1, 0, 1}));
    EXPECT_EQ(kindsOf("varnel.kel:/shop/book"), (Kinds{-1, -1, 0}));
    auto opaque = VarnelUriData::dataWithURL("varnel.kel:shop?id=1");
    EXPECT_EQ(kindsOf(opaque->url()), (Kinds{0, 0, 0}));
    EXPECT_EQ(opaque->queryParams(), std::nullopt);
    EXPECT_EQ(opaque->contentId(), std::nullopt);

    // The scheme family is a case-sensitive prefix.
    EXPECT_TRUE(VarnelUriData::isVarnelURL("varnel.kel://x"));
    EXPECT_TRUE(VarnelUriData::isVarnelURL("varnelfoo://x"));
    EXPECT_FALSE(VarnelUriData::isVarnelURL("Varnel.kel://x"));
    EXPECT_FALSE(VarnelUriData::isVarnelURL("https://varnel.kel/x"));
    EXPECT_FALSE(VarnelUriData::isVarnelURL("varnel"));
    EXPECT_FALSE(VarnelUriData::isVarnelURL("/varnel:x"));
    EXPECT_TRUE(VarnelUriData::isVarnelMeURL("me.varnel://x"));
    EXPECT_FALSE(VarnelUriData::isVarnelMeURL("mailto:x@y"));
}

TEST(UriParserTest, HostileTextParsesWithoutHarm) {
    auto components = VarnelUriData::pathComponents("varnel.kel://u/r/%zz%41/%E0%B8%81");
    ASSERT_TRUE(components);
    EXPECT_EQ(*components, (std::vector<std::string>{"/", "r", "%zz%41", "ก"}));

    const char raw[] = "varnel.kel://shop/bo\0ok?id=a\0b";
    std::string withNul(raw, sizeof(raw) - 1);
    auto nul = VarnelUriData::dataWithURL(withNul);
    EXPECT_EQ(nul->rootKind(), 1);
    EXPECT_EQ(nul->sublevelKind(), -1);
    EXPECT_EQ(nul->contentId(), std::string("a\0b", 3));

    std::string huge = "varnel.kel://shop/magazine/issue?id=" + std::string(100 * 1024, 'x');
    for (int i = 0; i < 2000; ++i)
        huge += "&k" + std::to_string(i) + "=%%" + std::string(3, '=');
    auto big = VarnelUriData::dataWithURL(huge);
    EXPECT_EQ(big->contentId()->size(), 100U * 1024U);
    EXPECT_EQ(big->queryParams()->size(), 2001U);

    std::string deep = "varnel.kel://shop";
    for (int i = 0; i < 20000; ++i)
        deep += "/%2F";
    EXPECT_EQ(kindsOf(deep), (Kinds{1, -1, 0}));

    for (const char* odd : {"", ":", "://", "varnel.kel:", "varnel.kel://", "varnel.kel://[::1",
                            "varnel.kel://@:/?#", "Varnel.kel", "varnel.kel://%/%%/?%=%&=&#%"}) {
        auto parsed = VarnelUriData::dataWithURL(odd);
        EXPECT_EQ(parsed->url(), odd);
        EXPECT_LE(parsed->rootKind(), 5);
    }
}

}  // namespace
