#include <gtest/gtest.h>

#include "platform/storage/PropertyList.h"
#include "support/CapturedLog.h"
#include "vnlib/domain/content/VnMagazineIssuePageRenderingInfo.h"
#include "vnlib/info/store/VnShopTagLabel.h"

namespace {

plat::Value plist(const std::string& body) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + body + "</plist>";
    return plat::PropertyList::propertyListWithData(
        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(RenderingInfoTest, PagesFallBackAndWrongTypesCountAsAbsent) {
    const auto metadata = plist(R"(<dict><key>Pages</key><dict>
        <key>0</key><dict><key>PageName</key><string>Cover</string>
          <key>PageInsets</key><dict><key>Top</key><real>1.5</real><key>Right</key><integer>4</integer>
            <key>Left</key><string>x</string></dict>
          <key>ClipPageInsets</key><dict><key>Top</key><integer>9</integer></dict>
          <key>SinglePageAlignment</key><integer>2</integer>
          <key>backgroundColor</key><string>red</string>
          <key>Widgets</key><array><dict><key>Type</key><string>ImageWidget</string></dict></array></dict>
        <key>1</key><dict><key>PageInsets</key><string>10,10</string>
          <key>ClipPageInsets</key><dict><key>Top</key><integer>9</integer></dict>
          <key>DoublePageAlignment</key><string>3</string></dict>
        <key>2</key><dict><key>ClipPageInsets</key><dict><key>Bottom</key><integer>5</integer></dict></dict>
        <key>3</key><string>not a page</string>
        <key>-1</key><dict><key>PageName</key><string>negative</string></dict>
      </dict></dict>)");
    ASSERT_TRUE(metadata.dictionary());

    auto cover = VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(metadata, 0);
    EXPECT_EQ(cover->pageName(), "Cover");
    EXPECT_EQ(cover->pageInsets(), (VnEdgeInsets{1.5, 0, 0, 4}));
    EXPECT_EQ(cover->singlePageAlignment(), 2);
    EXPECT_EQ(cover->doublePageAlignment(), 99);
    EXPECT_EQ(cover->backgroundColor(), VnColor::clearColor());
    ASSERT_TRUE(cover->widgetDictionaries());
    EXPECT_EQ(cover->widgetDictionaries()->count(), 1U);

    // Insets of the wrong type stay zero and do not fall back; alignments of the wrong type are
    // the default.
    auto one = VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(metadata, 1);
    EXPECT_EQ(one->pageInsets(), VnEdgeInsets{});
    EXPECT_EQ(one->doublePageAlignment(), 99);
    EXPECT_FALSE(one->pageName());
    EXPECT_EQ(VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(metadata, 2)->pageInsets(),
              (VnEdgeInsets{0, 0, 5, 0}));

    // No entry, an entry that is not a dictionary, or metadata of the wrong shape: "*<index>".
    for (const auto& [meta, index] :
         {std::pair{metadata, 7}, std::pair{metadata, 3}, std::pair{plist("<array/>"), 0},
          std::pair{plist("<dict><key>Pages</key><array/></dict>"), 0},
          std::pair{plat::Value(), 5}}) {
        auto fallback = VnMagazineIssuePageRenderingInfo::infoForSourcePageIndex(meta, index);
        EXPECT_EQ(fallback->pageName(), "*" + std::to_string(index));
        EXPECT_EQ(fallback->pageInsets(), VnEdgeInsets{});
        EXPECT_EQ(fallback->singlePageAlignment(), 0);
        EXPECT_FALSE(fallback->widgetDictionaries());
    }
}

}  // namespace

namespace {

// A page's widget list is cut at its bound, with one logged line; a list within it is kept whole.
TEST(RenderingInfoTest, APageListsAtMostItsBoundOfWidgets) {
    constexpr size_t kBound = VnMagazineIssuePageRenderingInfo::kMaxWidgetsPerPage;
    for (const size_t count : {kBound, 20 * kBound}) {
        std::vector<plat::Value> widgets;
        for (size_t i = 0; i < count; ++i)
            widgets.push_back(plat::Value(plat::makeDictionary({{"Index", plat::Value(int64_t(i))}})));
        const auto page = plat::makeDictionary(
            {{"PageName", plat::Value("Busy")}, {"Widgets", plat::Value(plat::Array::make(widgets))}});
        Ref<VnMagazineIssuePageRenderingInfo> info;
        const auto lines = testing_support::logged(
            [&] { info = std::make_shared<VnMagazineIssuePageRenderingInfo>(*page); });
        ASSERT_TRUE(info->widgetDictionaries());
        EXPECT_EQ(info->widgetDictionaries()->count(), kBound);
        EXPECT_EQ(lines.size(), count > kBound ? 1U : 0U) << count;
        // The first ones are kept, in order.
        EXPECT_EQ(info->widgetDictionaries()->objectAtIndex(kBound - 1).dictionary()
                      ->objectForKey("Index").intValue(),
                  static_cast<int>(kBound - 1));
    }
}

}  // namespace

// One colour type for pages and tag labels (a source may see both): a page's background is
// clear, a tag label's grey opaque.
TEST(RenderingInfoTest, PageBackgroundsAreClearAndTagLabelsOpaqueInOneColourType) {
    const VnMagazineIssuePageRenderingInfo cover("Cover");
    EXPECT_EQ(cover.backgroundColor(), (VnColor{0, 0, 0, 0}));
    EXPECT_EQ(VnShopTagLabel().backgroundColor(), (VnColor{1.0 / 3, 1.0 / 3, 1.0 / 3, 1}));
}
