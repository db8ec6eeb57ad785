// Image scroll widgets: their description (files, direction, skipped entries, nested widgets
// let go), sub-widgets shown once each in scrolling content fitted to the view and starting at
// the origin (also in a view the reader placed, and after a zoom), and the up/down hint in the
// top right corner until the first scroll.
#include <gtest/gtest.h>

#include <QScrollArea>

#include "PictureWidgetTestSupport.h"
#include "app/widgets/ImageScrollWidget.h"
#include "app/widgets/WidgetScrollView.h"
#include "support/CapturedLog.h"

using namespace issueui_test;
using namespace picture_test;

namespace {

using Ids = std::vector<std::string>;

class ImageScrollWidgetTest : public PictureWidgetTest {
  protected:
    static plat::Value picture(const char* name, const char* frame) {
        return dict({{"WidgetType", "ImageWidget"}, {"ImageFileName", name}, {"Frame", frame}});
    }
    static QRectF frameOf(const Ref<WidgetView>& view) { return view ? view->frame() : QRectF(); }
};

TEST_F(ImageScrollWidgetTest, EntriesGiveFilesAndTheLastDirection) {
    Ref<ImageScrollWidget> widget;
    const auto lines = testing_support::loggedAnywhere([&] {
        widget = build<ImageScrollWidget>(
            {{"WidgetType", "ImageScrollWidget"},
             {"Frame", "{{0,0},{100,50}}"},
             {"Button", dict({})},
             {"ImageViews",
              list({dict({{"ImageFileName", "p1"},
                          {"ScrollDirection", 1},
                          {"Widgets",
                           list({dict({{"WidgetType", "ImageView360"}, {"ImageIdLength", 0}}),
                                 dict({{"WidgetType", "UrlLink"}})})}}),
                    dict({{"ScrollDirection", 1}}), dict({{"ImageFileName", "p2"}})})},
             {"Subwidgets", list({picture("sub", "{{50,50},{10,10}}")})}});
    });
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->imageFilePaths(), (Ids{"p1", "p2"}));
    EXPECT_EQ(widget->scrollDirection(), 0);  // the entry without a direction came last
    EXPECT_EQ(widget->backgroundColor().alpha(), 0);
    EXPECT_FALSE(widget->scrollableIndicatorVisible());
    EXPECT_FALSE(widget->button());
    EXPECT_EQ(lines.size(), 2U);
    EXPECT_EQ(widget->requiredInteractiveFileIds(), (Ids{"p1", "p2", "sub"}));
    cache("p1", Qt::red);
    cache("p2", Qt::red);
    EXPECT_FALSE(widget->isReadyForDisplay());  // its sub-widget's picture is missing
    cache("sub", Qt::red);
    EXPECT_TRUE(widget->isReadyForDisplay());

    // Content from the origin, even when every sub-widget lies away from it.
    EXPECT_EQ(ImageScrollWidget::contentRect({QRectF(50, 50, 10, 10)}), QRectF(0, 0, 60, 60));
    EXPECT_EQ(ImageScrollWidget::contentRect({}), QRectF());

    // The reader's road: the view it placed, handed back, takes each sub-widget once with the
    // page's scale, in content fitted to the view's width; a zoom scales them again.
    widget->setAttachedView(hostView);
    auto view =
        std::dynamic_pointer_cast<WidgetScrollView>(widget->newWidgetView({0, 0, 300, 200}));
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->documentView()->subviews().empty());
    widget->adoptPlacedView(hostView, view, QTransform(3, 0, 0, 3, 40, 40));
    EXPECT_EQ(widget->widgetView(), view);
    ASSERT_EQ(view->documentView()->subviews().size(), 1U);
    EXPECT_EQ(frameOf(view->documentView()->subviews()[0]), QRectF(150, 150, 30, 30));
    EXPECT_EQ(frameOf(view->documentView()), QRectF(0, 0, 299, 180));
    widget->layoutSubwidgets(QTransform(6, 0, 0, 6, 80, 80));
    ASSERT_EQ(view->documentView()->subviews().size(), 1U);
    EXPECT_EQ(frameOf(view->documentView()->subviews()[0]), QRectF(300, 300, 60, 60));
    EXPECT_EQ(frameOf(view->documentView()), QRectF(0, 0, 299, 360));
    widget->detachFromView();
    EXPECT_FALSE(widget->widgetView());
    EXPECT_TRUE(view->documentView()->subviews().empty());
}

TEST_F(ImageScrollWidgetTest, SubwidgetsScrollInFittedContentAndTheHintGoesAtTheFirstScroll) {
    cache("a", Qt::red);
    cache("b", Qt::blue);
    Entries keys{{"WidgetType", "ImageScrollWidget"},
                 {"Frame", "{{10,10},{100,50}}"},
                 {"ScrollableIndicatorVisible", yes()},
                 {"ImageViews", list({dict({{"ImageFileName", "a"}})})},
                 {"Subwidgets",
                  list({picture("a", "{{0,0},{100,60}}"), picture("b", "{{0,60},{100,60}}")})}};
    auto widget = build<ImageScrollWidget>(keys);
    ASSERT_TRUE(widget);
    widget->attachToView(hostView, QTransform::fromScale(2, 2));
    auto view = std::dynamic_pointer_cast<WidgetScrollView>(widget->widgetView());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->frame(), QRectF(20, 20, 200, 100));
    EXPECT_EQ(view->scrollArea()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(view->scrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // Each sub-widget once, scaled, in content fitted to the view's width less one.
    const auto& content = view->documentView();
    ASSERT_EQ(content->subviews().size(), 2U);
    EXPECT_EQ(frameOf(content->subviews()[0]), QRectF(0, 0, 200, 120));
    EXPECT_EQ(frameOf(content->subviews()[1]), QRectF(0, 120, 200, 120));
    EXPECT_EQ(frameOf(content), QRectF(0, 0, 199, 240));
    EXPECT_TRUE(near(pixel(100, 100), Qt::red));
    const QColor cornerBefore = pixel(194, 36);

    // The hint lies in the top right corner from the first activation on, once.
    widget->didBecomeActive();
    const auto hint = widget->scrollableIndicator();
    ASSERT_TRUE(hint);
    EXPECT_EQ(hint->frame(), QRectF(168, 0, 32, 32));
    const QColor corner = pixel(194, 36);
    EXPECT_NE(corner, cornerBefore);
    EXPECT_FALSE(near(corner, Qt::red));
    EXPECT_LT(corner.value(), 120);
    widget->didBecomeInactive();
    widget->didBecomeActive();
    EXPECT_EQ(widget->scrollableIndicator(), hint);
    EXPECT_EQ(std::count(view->subviews().begin(), view->subviews().end(), hint), 1);

    // The first scroll takes it away for good; the content moved under the view.
    view->scrollToPoint(QPointF(0, 60));
    EXPECT_FALSE(widget->scrollableIndicator());
    EXPECT_TRUE(view->subviews().empty());
    EXPECT_TRUE(near(pixel(100, 100), Qt::blue));
    widget->didBecomeActive();
    EXPECT_FALSE(widget->scrollableIndicator());

    // A fresh view shows it again; a view that scrolls down fits the content's height.
    QWidget other(&host);
    other.resize(300, 300);
    other.show();
    widget->attachToView(QtWidgetView::borrowing(&other), QTransform());
    EXPECT_TRUE(host.findChildren<QScrollArea*>(Qt::FindDirectChildrenOnly).empty());
    widget->didBecomeActive();
    EXPECT_TRUE(widget->scrollableIndicator());
    widget->detachFromView();
    EXPECT_FALSE(widget->scrollableIndicator());

    keys.emplace_back("ImageViews", list({dict({{"ImageFileName", "a"}, {"ScrollDirection", 2}})}));
    keys.erase(keys.begin() + 3);
    auto sideways = build<ImageScrollWidget>(keys);
    sideways->attachToView(hostView, QTransform::fromScale(2, 2));
    EXPECT_EQ(sideways->scrollDirection(), 2);
    EXPECT_EQ(frameOf(sideways->documentView()), QRectF(0, 0, 200, 99));
    sideways->detachFromView();
}

}  // namespace
