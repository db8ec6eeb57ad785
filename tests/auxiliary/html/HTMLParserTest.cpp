// HTML documents: searches by tag and attribute in document order, text, node types, and
// documents that are empty, broken, deep, or outlive their parser.
#include <gtest/gtest.h>

#include <vector>

#include "auxiliary/html/HTMLParser.h"

namespace {

TEST(HTMLParser, SearchesTextAndTypes) {
    const std::string page =
        "<html><body><div class=\"outer\"><p>first <b>bold</b></p><p>second</p>"
        "<div class=\"menu active\"><span>in</span></div></div><img src=\"a.png\">"
        "<ul><li><a href=\"/x\">x</a></li></ul></body></html>";
    Ref<plat::Error> error;
    auto parser = HTMLParser::initWithString(page, &error);
    EXPECT_FALSE(error);
    const auto body = parser->body();
    ASSERT_TRUE(body);
    EXPECT_EQ(parser->html()->tagName(), "html");
    EXPECT_EQ(body->findChildTag("p")->allContents(), "first bold");
    const auto divs = body->findChildTags("div");
    ASSERT_EQ(divs.size(), 2U);
    EXPECT_EQ(divs[0]->className(), "outer");
    EXPECT_FALSE(body->findChildTag("P"));  // names are lower case
    EXPECT_FALSE(body->findChildOfClass("active"));
    EXPECT_TRUE(body->findChildWithAttribute("class", "act", true));
    EXPECT_EQ(body->findChildrenWithAttribute("class", "e", true).size(), 2U);
    EXPECT_EQ(body->findChildWithAttribute("href", "/x", false)->nodetype(), HTMLHrefNode);
    EXPECT_EQ(body->findChildTag("img")->nodetype(), HTMLUnkownNode);
    EXPECT_EQ(body->findChildTag("li")->nodetype(), HTMLLiNode);
    EXPECT_EQ(body->findChildTag("img")->getAttributeNamed("src"), "a.png");

    // contents: the first child's text only; allContents: everything below.
    const auto paragraph = body->findChildTag("p");
    EXPECT_EQ(paragraph->contents(), "first ");
    const auto menu = body->findChildOfClass("menu active");
    EXPECT_FALSE(menu->contents());
    EXPECT_EQ(menu->allContents(), "in");
    EXPECT_FALSE(menu->nextSibling());
    EXPECT_EQ(paragraph->nextSibling()->allContents(), "second");
    EXPECT_NE(menu->rawContents()->find("<span>in</span>"), std::string::npos);
    EXPECT_EQ(paragraph->children().size(), 2U);
}

TEST(HTMLParser, EmptyBrokenDeepAndOrphanedDocuments) {
    Ref<plat::Error> error;
    auto empty = HTMLParser::initWithString("", &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), kHTMLParserErrorDomain);
    EXPECT_EQ(error->code(), 1);
    EXPECT_FALSE(empty->doc());
    error.reset();
    EXPECT_FALSE(HTMLParser::initWithData(std::nullopt, &error)->body());
    EXPECT_TRUE(error);

    // A node keeps its document alive after the parser is gone.
    Ref<HTMLNode> kept;
    {
        auto parser = HTMLParser::initWithString("<p class=\"x\">still here</p>", nullptr);
        kept = parser->body()->findChildOfClass("x");
    }
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->allContents(), "still here");
    EXPECT_EQ(kept->parent()->tagName(), "body");

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<div>";
    deep += "x";
    auto nested = HTMLParser::initWithString(deep, nullptr);
    if (const auto body = nested->body()) {
        EXPECT_FALSE(body->findChildTag("nothing"));
        EXPECT_GT(body->findChildTags("div").size(), 0U);
    }
    const std::string broken = "<html><body><p><b>unclosed <i>tags &amp &#99999999; <a href=";
    auto messy = HTMLParser::initWithString(broken, nullptr);
    ASSERT_TRUE(messy->body());
    EXPECT_FALSE(messy->body()->allContents().empty());
    const plat::Bytes binary{0, 1, 2, 0xFF, 0xFE, '<', 'p', '>'};
    HTMLParser::initWithData(binary, nullptr);
}

TEST(HTMLParser, ManyAttributesAreRefusedAndLongTextIsKeptWhole) {
    // 200,000 attributes on one element: refused before libxml2 spends their square.
    std::string crowded = "<html><body><div";
    for (int i = 0; i < 200000; ++i)
        crowded += " a" + std::to_string(i) + "='v>'";
    crowded += ">x</div></body></html>";
    Ref<plat::Error> error;
    auto refused = HTMLParser::initWithString(crowded, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 2);
    EXPECT_NE(error->localizedDescription().find("more than 10000 attributes"), std::string::npos);
    EXPECT_FALSE(refused->doc());

    // Many attributes in all, but few a tag, and '>' inside quoted values and comments: read.
    std::string busy = "<html><body><!-- <div a b c> -->";
    for (int i = 0; i < 3000; ++i)
        busy += "<span title='a>b' data-x=1 hidden>" + std::to_string(i) + "</span>";
    busy += "<p id='last' " + std::string(50, ' ') + "b=\"2\">end</p></body></html>";
    error.reset();
    auto read = HTMLParser::initWithData(plat::Bytes(busy.begin(), busy.end()), &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(read->body());
    EXPECT_EQ(read->body()->findChildTags("span").size(), 3000U);
    ASSERT_TRUE(read->body()->findChildWithAttribute("id", "last", false));

    // A text run past 10 MB does not cut the page short.
    std::string longText = "<html><body><p>";
    longText.append(12'000'000, 'x');
    longText += "</p><div id=\"after\">tail</div></body></html>";
    auto whole = HTMLParser::initWithString(longText, nullptr);
    ASSERT_TRUE(whole->body());
    const auto after = whole->body()->findChildWithAttribute("id", "after", false);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->allContents(), "tail");
}

// The guard reads comments as libxml2 does, and bounds the work of the whole page, not of one tag.
TEST(HTMLParser, AttributeWorkIsBoundedForTheWholePageWhateverTheComments) {
    const auto tagWith = [](int attributes) {
        std::string tag = "<div";
        for (int i = 0; i < attributes; ++i)
            tag += " a" + std::to_string(i) + "=\"x\"";
        return tag + ">";
    };
    // A comment closed by "--!>" ends there: what follows is counted.
    const auto codeOf = [](const Ref<plat::Error>& error) { return error ? error->code() : 0; };
    Ref<plat::Error> error;
    auto hidden = HTMLParser::initWithString("<!-- c --!> " + tagWith(20000), &error);
    EXPECT_EQ(codeOf(error), 2);
    EXPECT_FALSE(hidden->doc());
    error.reset();
    auto closed = HTMLParser::initWithString(
        "<!-- a --!><p id='one'>1</p><!-- b -- > still comment --><p id='two'>2</p>", &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(closed->body());
    EXPECT_EQ(closed->body()->findChildTags("p").size(), 2U);

    // Many tags each under the cap, but far more work in all than one tag at the cap.
    std::string crowded = "<html><body>";
    for (int t = 0; t < 5; ++t)
        crowded += tagWith(9000) + "</div>";
    error.reset();
    auto refused = HTMLParser::initWithData(plat::Bytes(crowded.begin(), crowded.end()), &error);
    EXPECT_EQ(codeOf(error), 2);
    EXPECT_NE(error ? error->localizedDescription().find("in all") : std::string::npos,
              std::string::npos);
    EXPECT_FALSE(refused->doc());

    // Empty bytes are no page: error 1, as for an empty string.
    error.reset();
    auto empty = HTMLParser::initWithData(plat::Bytes{}, &error);
    EXPECT_EQ(codeOf(error), 1);
    EXPECT_EQ(error ? error->domain() : "", kHTMLParserErrorDomain);
    EXPECT_FALSE(empty->doc());
}

// The page's work is bounded as libxml2 reads it, not only as the guard's own pass reads it: a
// tag of too many attributes hidden from that pass (behind "<!--" in a script or a style, a
// processing instruction, an end tag or a DOCTYPE, or a quote after a bad attribute name) is
// refused, and so are elements nested too deep or end tags (or start tags merged into the body)
// that cost the square to match.
TEST(HTMLParser, HiddenCrowdedTagsAndCostlyNestingAreRefused) {
    std::string attributes;
    for (int i = 0; i < 20000; ++i)
        attributes += " a" + std::to_string(i) + "=x";
    const std::string crowded = "<div" + attributes + ">";
    const std::vector<std::string> pages = {
        "<p>x<script><!--</script>" + crowded,
        "<p>x<style><!--</style>" + crowded,
        "<p>x<?pi <!-- >" + crowded,
        "<p>x</x <!-- >" + crowded,
        "<!DOCTYPE html SYSTEM \"x> <!-- \">" + crowded,
        "<p -=\"" + attributes + " \">x</p>",
        std::string(12 * 1024, ' ') + crowded,
        [] {
            std::string deep;
            for (int i = 0; i < 20000; ++i)
                deep += "<div>";
            return deep;
        }(),
        [] {
            std::string stray;
            for (int i = 0; i < 9000; ++i)
                stray += "<b>";
            for (int i = 0; i < 20000; ++i)
                stray += "</x>";
            return stray;
        }(),
    };
    for (size_t i = 0; i < pages.size(); ++i) {
        for (bool asData : {false, true}) {
            Ref<plat::Error> error;
            auto parser = asData ? HTMLParser::initWithData(
                                       plat::Bytes(pages[i].begin(), pages[i].end()), &error)
                                 : HTMLParser::initWithString(pages[i], &error);
            EXPECT_EQ(error ? error->code() : 0, 2) << "page " << i;
            EXPECT_FALSE(parser->doc()) << "page " << i;
        }
    }

    // Start tags that libxml2 merges into the open body (or html) look it up among the open
    // elements: below a deep nesting, many of them cost the same work as stray end tags.
    std::string merged;
    for (int i = 0; i < 9000; ++i)
        merged += "<div>";
    for (int i = 0; i < 100000; ++i)
        merged += i % 2 ? "<body>" : "<BODY class=x>";
    for (bool asData : {false, true}) {
        Ref<plat::Error> error;
        auto parser =
            asData ? HTMLParser::initWithData(plat::Bytes(merged.begin(), merged.end()), &error)
                   : HTMLParser::initWithString(merged, &error);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 2);
        EXPECT_NE(error->localizedDescription().find("too much work"), std::string::npos);
        EXPECT_FALSE(parser->doc());
    }

    // Scripts and styles with comments, processing instructions, end tags and doctypes with
    // quoted '>' are read as before; so is a page with a second body at a shallow depth.
    const std::string fine =
        "<!DOCTYPE html PUBLIC \"-//x>y//EN\" \"a>b\"><html><head><style><!-- p{} --></style>"
        "<script>if (a</b) { x = '<!--'; }</script></head><body><?pi data?>"
        "<p id='one' title='a>b'>1</p></x junk><body class='again'><p id='two'>2</p></body>"
        "<bodyguard></bodyguard></html>";
    Ref<plat::Error> error;
    auto read = HTMLParser::initWithString(fine, &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(read->body());
    EXPECT_EQ(read->body()->findChildTags("p").size(), 2U);
    ASSERT_TRUE(read->body()->findChildWithAttribute("id", "two", false));
}

}  // namespace
