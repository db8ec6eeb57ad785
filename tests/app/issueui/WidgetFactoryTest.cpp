// Widget descriptions: frames, the type table, class registration and readiness.
#include "IssueUITestSupport.h"
#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/WidgetContext.h"
#include "app/issueui/WidgetFactory.h"

using namespace issueui_test;

namespace {

QRectF frameOf(Entries description) {
    OverlayData widget;
    widget.loadFromDictionary(*widgetDictionary(std::move(description)));
    return widget.frame();
}

class LateWidget : public OverlayData {
  public:
    bool readyForDisplay() override { return ready; }
    bool ready = false;
};

}  // namespace

TEST(WidgetFactoryTest, FramesFromTextOrKeysWithUnreadablePartsZero) {
    EXPECT_EQ(frameOf({{"Frame", "{10, 20, 300, 40}"}}), QRectF(10, 20, 300, 40));
    EXPECT_EQ(frameOf({{"Frame", "{ 10,20 ,300,40 }"}}), QRectF(10, 20, 300, 40));
    EXPECT_EQ(frameOf({{"Frame", "{{1.5, 2}, {3, 4}}"}}), QRectF(1.5, 2, 3, 4));
    EXPECT_EQ(frameOf({{"Frame", "{1,2,3,4}"}, {"X", 99}}), QRectF(1, 2, 3, 4));
    EXPECT_EQ(frameOf({{"X", 5}, {"Width", "100"}}), QRectF(5, 0, 100, 0));
    EXPECT_EQ(frameOf({}), QRectF());
    // Short, unreadable and non-finite parts read 0; a frame that is no text uses the keys.
    EXPECT_EQ(frameOf({{"Frame", "{10,20}"}}), QRectF(10, 20, 0, 0));
    EXPECT_EQ(frameOf({{"Frame", "{a,b,c,d}"}}), QRectF());
    EXPECT_EQ(frameOf({{"Frame", "{1e39,0,nan,inf}"}, {"X", 4}}), QRectF());
    EXPECT_EQ(frameOf({{"Frame", "{7x,-2,+3,4,5,6}"}}), QRectF(7, -2, 3, 4));
    EXPECT_EQ(frameOf({{"Frame", 12}, {"X", 1}, {"Y", 2}, {"Width", 3}, {"Height", 4}}),
              QRectF(1, 2, 3, 4));
    EXPECT_EQ(frameOf({{"Frame", dict({{"X", 9}})}, {"Height", 4}}), QRectF(0, 0, 0, 4));
    EXPECT_EQ(frameOf({{"X", "nan"}, {"Y", 1e300}, {"Width", dict({})}}), QRectF());
    EXPECT_EQ(WidgetContext::rectFromString("{0,0,100,50}"), QRectF(0, 0, 100, 50));
    EXPECT_EQ(WidgetContext::rectFromString(""), QRectF());
}

TEST(WidgetFactoryTest, TypeNamesFindRegisteredClassesOnly) {
    WidgetFactory::unregisterAllWidgetClasses();
    const auto table = WidgetFactory::newClassMapDictionary();
    ASSERT_EQ(table.size(), 13U);
    EXPECT_EQ(table.front(),
              (std::pair<std::string, std::string>{"ImageView360", "ImageView360Widget"}));
    EXPECT_EQ(table.back(),
              (std::pair<std::string, std::string>{"AudioPlayer", "AudioPlayerWidget"}));
    std::set<std::string> classes;
    for (const auto& [type, cls] : table)
        classes.insert(cls);
    EXPECT_EQ(classes.size(), 12U);

    auto build = [](plat::Value description) {
        return WidgetFactory::widgetWithDictionary(description, nullptr);
    };
    // Nothing is registered: a known type gives no widget yet.
    EXPECT_FALSE(build(dict({{"WidgetType", "ItemHighlighter"}})));
    registerIssueUIWidgetClasses();
    EXPECT_TRUE(
        build(dict({{"WidgetType", "ItemHighlighter"}}))->isKindOf<ItemHighlighterWidget>());
    EXPECT_TRUE(
        build(dict({{"WidgetType", "InlineImageScroller"}}))->isKindOf<InlineImageScroller>());
    // Other letter case, no type, a type that is no text, unknown types, non-dictionaries.
    EXPECT_FALSE(build(dict({{"WidgetType", "itemhighlighter"}})));
    EXPECT_FALSE(build(dict({{"Frame", "{0,0,1,1}"}})));
    EXPECT_FALSE(build(dict({{"WidgetType", 3}})));
    EXPECT_FALSE(build(dict({{"WidgetType", "Sparkles"}})));
    EXPECT_FALSE(build(list({})));
    EXPECT_FALSE(build(plat::Value("ItemHighlighter")));
    EXPECT_FALSE(build(plat::Value()));

    // A class registered after the first build is found; both page-link names give it.
    EXPECT_FALSE(build(dict({{"WidgetType", "PageLink"}})));
    registerStandInWidgetClasses();
    auto link = std::dynamic_pointer_cast<StandInWidget>(build(dict({{"WidgetType", "PageLink"}})));
    auto linkWidget =
        std::dynamic_pointer_cast<StandInWidget>(build(dict({{"WidgetType", "PageLinkWidget"}})));
    ASSERT_TRUE(link && linkWidget);
    EXPECT_EQ(link->standsFor, "PageLinkWidget");
    EXPECT_EQ(linkWidget->standsFor, "PageLinkWidget");
    for (const auto& name : otherWidgetClassNames())
        EXPECT_TRUE(WidgetFactory::isWidgetClassRegistered(name)) << name;
    // Every type name now builds, each of its own class.
    for (const auto& [type, cls] : table) {
        auto widget = build(dict(
            {{"WidgetType", plat::Value(type)}, {"ImageIdLength", 1}, {"Frame", "{1,2,3,4}"}}));
        ASSERT_TRUE(widget) << type;
        EXPECT_EQ(widget->frame(), QRectF(1, 2, 3, 4));
        if (auto standIn = std::dynamic_pointer_cast<StandInWidget>(widget)) {
            EXPECT_EQ(standIn->standsFor, cls);
        }
    }
    WidgetFactory::unregisterAllWidgetClasses();
}

TEST(WidgetFactoryTest, ReadinessOnceReachedStays) {
    LateWidget widget;
    EXPECT_FALSE(widget.isReadyForDisplay());
    widget.ready = true;
    EXPECT_TRUE(widget.isReadyForDisplay());
    widget.ready = false;
    EXPECT_TRUE(widget.isReadyForDisplay());
    EXPECT_TRUE(widget.assetIdListAvailable({}));
    EXPECT_FALSE(widget.assetIdListAvailable({"photo"}));  // no asset manager
    EXPECT_TRUE(widget._requiredAssetFileIds().empty());
    EXPECT_TRUE(widget.hasButton());
}
