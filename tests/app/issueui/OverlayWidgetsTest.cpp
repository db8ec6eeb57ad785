// The data-only widgets: highlighter, close-up data and the inline scroller's row layout.
#include "IssueUITestSupport.h"
#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetView.h"

using namespace issueui_test;

using OverlayWidgetsTest = IssueUITest;

TEST_F(OverlayWidgetsTest, HighlighterAndCloseUpDataNeedTheirFile) {
    auto issue = makeIssue("MG-30", "Magazine", {{0, 0}});
    auto manager = std::make_shared<WidgetAssetManager>(issue->pageContextWithSourcePageIndex(0));
    auto glow = OverlayData::dataByDictionary<ItemHighlighterWidget>(
        *widgetDictionary({{"FileName", "glow"}, {"Frame", "{1,2,3,4}"}}), manager);
    EXPECT_TRUE(glow->blinks());
    EXPECT_EQ(glow->imageFileName(), "glow");
    EXPECT_EQ(glow->_requiredAssetFileIds(), std::vector<std::string>{"glow"});
    EXPECT_EQ(glow->frame(), QRectF(1, 2, 3, 4));
    EXPECT_FALSE(glow->isReadyForDisplay());
    cacheInteractiveFile(issue, 0, "glow", {1, 2, 3});
    EXPECT_TRUE(glow->isReadyForDisplay());

    auto still = OverlayData::dataByDictionary<ItemHighlighterWidget>(
        *widgetDictionary({{"Blinks", no()}}), manager);
    EXPECT_FALSE(still->blinks());
    EXPECT_TRUE(still->_requiredAssetFileIds().empty());
    EXPECT_FALSE(still->isReadyForDisplay());  // no file name: never ready

    auto closeUp = OverlayData::dataByDictionary<ItemCloseUpButtonData>(
        *widgetDictionary({{"FileName", 7}, {"Blinks", "no"}}), manager);
    EXPECT_EQ(closeUp->imageFileName(), "7");
    EXPECT_FALSE(closeUp->blinks());
    EXPECT_TRUE(closeUp->_requiredAssetFileIds().empty());
    EXPECT_TRUE(closeUp->isReadyForDisplay());
}

TEST_F(OverlayWidgetsTest, InlineScrollerLaysTaggedViewsSideBySide) {
    auto scroller = OverlayData::dataByDictionary<InlineImageScroller>(
        *widgetDictionary({{"Frame", "{10,20,100,50}"}, {"Images", list({"a", "b", 3, "c"})}}),
        nullptr);
    EXPECT_EQ(scroller->imageNames(), (std::vector<std::string>{"a", "b", "c"}));
    scroller->loadFromDictionary(*widgetDictionary({{"Images", list({"d"})}}));
    EXPECT_EQ(scroller->imageNames(), std::vector<std::string>{"d"});
    scroller->loadFromDictionary(*widgetDictionary({{"Frame", "{10,20,100,50}"}}));
    EXPECT_TRUE(scroller->imageNames().empty());
    EXPECT_TRUE(scroller->isReadyForDisplay());

    scroller->layoutWidget(QTransform());  // no view: nothing to lay out
    auto view = std::make_shared<PlainWidgetView>();
    std::vector<Ref<PlainWidgetView>> images;
    for (int tag : {1, 0, 2, 3}) {
        auto image = std::make_shared<PlainWidgetView>("image", QRectF(5, 5, 1, 1));
        image->setTag(tag);
        view->addSubview(image);
        images.push_back(image);
    }
    scroller->setWidgetView(view);
    scroller->layoutWidget(QTransform(2, 0, 0, 2, 1, 1));
    EXPECT_EQ(view->frame(), QRectF(21, 41, 200, 100));
    EXPECT_EQ(images[0]->frame(), QRectF(0, 0, 200, 100));
    EXPECT_EQ(images[1]->frame(), QRectF(5, 5, 1, 1));
    EXPECT_EQ(images[2]->frame(), QRectF(200, 0, 200, 100));
    EXPECT_EQ(images[3]->frame(), QRectF(400, 0, 200, 100));
}
