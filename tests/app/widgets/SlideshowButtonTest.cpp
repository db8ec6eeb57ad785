// Slideshow buttons: their description and kept popup state, and on screen each style's popup
// shown by a press with the pictures gathered anew, raised above the widget's button so that a
// click on its close control closes it rather than pressing the button again.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "PictureWidgetTestSupport.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetContext.h"
#include "app/widgets/ImageListScroller.h"
#include "app/widgets/PictureScroller.h"
#include "app/widgets/ScaledImageView.h"
#include "app/widgets/SlideshowButton.h"
#include "platform/image/Image.h"
#include "platform_ui/DTScrollView.h"

using namespace issueui_test;
using namespace picture_test;

namespace {

class SlideshowButtonTest : public PictureWidgetTest {
  protected:
    Ref<SlideshowButton> slideshow(Entries keys) {
        keys.emplace_back("WidgetType", "SlideshowButton");
        keys.emplace_back("ImageFileNames", list({"s1", "s2", "s3"}));
        return build<SlideshowButton>(std::move(keys));
    }
    // A click on whatever lies at the point of the root widget.
    static void click(QWidget& root, QPoint point) {
        QWidget* target = root.childAt(point);
        ASSERT_TRUE(target);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&root, point));
    }
};

TEST_F(SlideshowButtonTest, DescriptionsAndThePopupStateKept) {
    auto plain = slideshow({{"Frame", "{{10,10},{40,40}}"}, {"LockReaderScrollWhenActive", yes()}});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->popupStyle(), 0);
    EXPECT_TRUE(plain->isFullScreen());
    EXPECT_EQ(plain->frame(), QRectF());
    EXPECT_TRUE(plain->isCloseButtonVisible());
    EXPECT_FALSE(plain->hasBackgroundShade());
    EXPECT_EQ(plain->backgroundColor(), QColor(0, 0, 0));
    EXPECT_EQ(plain->backgroundAlpha(), 0.5);
    ASSERT_TRUE(plain->button());
    EXPECT_EQ(plain->button()->frame(), QRectF(10, 10, 40, 40));
    ASSERT_TRUE(plain->buttonIcon());
    EXPECT_EQ(plain->buttonIcon()->width(), 32);
    EXPECT_EQ(plain->requiredInteractiveFileIds(), (std::vector<std::string>{"s1", "s2", "s3"}));
    cache("s1", Qt::red);
    cache("s2", Qt::blue);
    EXPECT_FALSE(plain->isReadyForDisplay());
    cache("s3", Qt::green);
    EXPECT_TRUE(plain->isReadyForDisplay());

    // The state is kept (and takes the reader's scroll lock) though nothing shows it.
    const int locks = WidgetContext::defaultContext()->lockCount();
    plain->setPopupActive(true);
    EXPECT_EQ(WidgetContext::defaultContext()->lockCount(), locks + 1);
    plain->didBecomeInactive();
    EXPECT_FALSE(plain->popupActive());
    EXPECT_EQ(WidgetContext::defaultContext()->lockCount(), locks);

    auto strip = slideshow({{"PopupStyle", "2"},
                            {"PopupFrame", "{{0,200},{300,100}}"},
                            {"HasBackgroundShade", yes()}});
    EXPECT_FALSE(strip->isCloseButtonVisible());
    EXPECT_FALSE(strip->isFullScreen());
    EXPECT_TRUE(strip->hasBackgroundShade());
    EXPECT_EQ(strip->frame(), QRectF(0, 200, 300, 100));
    EXPECT_FALSE(strip->raiseTouchUpInsidePageBounds());
    strip->attachToView(hostView, QTransform());
    EXPECT_TRUE(strip->raiseTouchUpInsidePageBounds());
    ASSERT_TRUE(strip->imageListScroller());
    EXPECT_FALSE(strip->imageListScroller()->closeButtonVisible());
    EXPECT_TRUE(strip->popupView()->isHidden());
    // Whoever shows every widget it placed (the reader) does not open a closed popup.
    widgetOf(strip->popupView())->show();
    EXPECT_FALSE(widgetOf(strip->popupView())->isVisible());
    EXPECT_TRUE(
        slideshow({{"PopupStyle", 2}, {"CloseButtonVisible", "YES"}})->isCloseButtonVisible());
}

TEST_F(SlideshowButtonTest, EachStyleShowsNewPicturesOnAPressAndClosesOverTheButton) {
    cache("s1", Qt::red);
    cache("s2", Qt::blue);
    cache("s3", Qt::green);

    // Style 2: a strip at the popup frame; the button lies where its close button is.
    auto strip = slideshow({{"Frame", "{{300,100},{50,40}}"},
                            {"PopupStyle", 2},
                            {"CloseButtonVisible", yes()},
                            {"PopupFrame", "{{50,100},{300,100}}"}});
    strip->attachToView(hostView, QTransform());
    auto* scroller = strip->imageListScroller();
    ASSERT_TRUE(scroller);
    EXPECT_EQ(scroller->geometry(), QRect(50, 100, 300, 100));
    EXPECT_FALSE(scroller->isVisible());
    click(host, {330, 120});
    ASSERT_TRUE(scroller->isVisible());
    ASSERT_TRUE(scroller->images());
    const auto firstImages = scroller->images();
    EXPECT_EQ(firstImages->size(), 3U);
    EXPECT_EQ(scroller->scrollView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(near(pixel(100, 130), Qt::red));
    click(host, {330, 120});
    EXPECT_FALSE(scroller->isVisible());
    click(host, {330, 120});
    EXPECT_TRUE(scroller->isVisible());
    EXPECT_NE(scroller->images(), firstImages);

    // Any other style: a picture scroller over the whole view, its close control under the
    // button's corner.
    QWidget page(&host);
    page.setGeometry(0, 0, 400, 300);
    page.show();
    auto pictures = slideshow({{"Frame", "{{360,0},{40,40}}"}});
    pictures->attachToView(QtWidgetView::borrowing(&page), QTransform());
    ASSERT_TRUE(pictures->pictureScroller());
    QWidget* popup = pictures->pictureScroller()->view();
    EXPECT_EQ(popup->geometry(), QRect(0, 0, 400, 300));
    EXPECT_FALSE(popup->isVisible());
    click(page, {380, 20});
    ASSERT_TRUE(popup->isVisible());
    const auto& views = pictures->pictureScroller()->pictureViews();
    ASSERT_TRUE(views && views->size() == 3U);
    EXPECT_EQ((*views)[2]->geometry(), QRect(800, 0, 400, 300));
    EXPECT_EQ(pictures->pictureScroller()->scrollView()->widget()->width(), 1200);
    EXPECT_TRUE(near(pixel(200, 150), Qt::red));
    click(page, {380, 20});
    EXPECT_FALSE(popup->isVisible());
    click(page, {380, 20});
    EXPECT_TRUE(popup->isVisible());

    // A slideshow that goes closes its popup, even one its holder keeps on screen.
    strip->detachFromView();
    strip->setAttachedView(hostView);
    const auto readerPopup = strip->newWidgetView(strip->frame());
    hostView->addSubview(readerPopup);
    strip->widgetTapped();
    ASSERT_TRUE(widgetOf(readerPopup)->isVisible());
    strip.reset();
    EXPECT_FALSE(widgetOf(readerPopup)->isVisible());
}

// Each close of a popup with the mouse (the strip's close button or a click on its picture, the
// full view's close control) gives the keys that the click gave the popup back to the view it
// lies on, the nearest enclosing one that takes keys, as the reader's page view does; not to the
// control next in the tab order. A popup closed while the keys are elsewhere leaves them there.
TEST_F(SlideshowButtonTest, ClosingAPopupGivesItsKeysBackToTheViewItLiesOn) {
    cache("s1", Qt::red);
    cache("s2", Qt::blue);
    cache("s3", Qt::green);
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    QWidget page(&host);
    page.setFocusPolicy(Qt::StrongFocus);
    page.setGeometry(0, 0, 600, 400);
    QWidget layer(&page);  // what the widgets lie on takes no keys
    layer.setGeometry(0, 0, 600, 400);
    page.show();
    auto strip = slideshow({{"Frame", "{{500,300},{40,40}}"},
                            {"PopupStyle", 2},
                            {"CloseButtonVisible", yes()},
                            {"PopupFrame", "{{50,100},{300,100}}"}});
    auto full = slideshow({{"Frame", "{{550,300},{40,40}}"}});
    const auto layerView = QtWidgetView::borrowing(&layer);
    strip->attachToView(layerView, QTransform());
    full->attachToView(layerView, QTransform());
    QPushButton later(&layer);  // next in the tab order after the popups
    later.setGeometry(0, 360, 40, 40);
    later.show();
    ASSERT_TRUE(strip->imageListScroller() && full->pictureScroller());

    const auto closedBy = [&](const Ref<SlideshowButton>& slideshow, QAbstractButton* control,
                              const char* how) {
        page.setFocus();
        QWidget* popup = widgetOf(slideshow->popupView());
        QTest::mouseClick(widgetOf(slideshow->button()->widgetView()), Qt::LeftButton);
        ASSERT_TRUE(popup->isVisible()) << how;
        ASSERT_TRUE(control->isVisible()) << how;
        QTest::mouseClick(control, Qt::LeftButton);
        EXPECT_FALSE(popup->isVisible()) << how;
        EXPECT_EQ(QApplication::focusWidget(), &page) << how;
    };
    closedBy(strip, strip->imageListScroller()->closeButton(), "the strip's close button");
    closedBy(strip, strip->imageListScroller()->imageClickButton(), "the strip's picture");
    closedBy(full, full->pictureScroller()->closeButton(), "the full view's close control");

    QTest::mouseClick(widgetOf(strip->button()->widgetView()), Qt::LeftButton);
    QWidget* popup = widgetOf(strip->popupView());
    ASSERT_TRUE(popup->isVisible());
    later.setFocus();
    strip->popupView()->setHidden(true);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), &later);
}

TEST_F(SlideshowButtonTest, TheStripScrollsSidewaysOnlyForSeveralPicturesAndKeepsTheSameList) {
    auto red = plat::Image::imageWithData(colourPng(Qt::red));
    ImageListScroller strip(QRectF(0, 0, 200, 80));
    EXPECT_EQ(strip.closeButton()->geometry(), QRect(160, 0, 40, 40));
    const ImageListScroller::ImageList one =
        std::make_shared<const std::vector<Ref<plat::Image>>>(std::vector{red});
    strip.setImages(one);
    ASSERT_EQ(strip.imageViews().size(), 1U);
    EXPECT_EQ(strip.scrollView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QPointer<ScaledImageView> shown = strip.imageViews()[0];
    strip.setImages(one);  // the same list: nothing is rebuilt
    EXPECT_EQ(strip.imageViews()[0], shown);
    strip.setImages(std::make_shared<const std::vector<Ref<plat::Image>>>(std::vector{red, red}));
    ASSERT_EQ(strip.imageViews().size(), 2U);
    EXPECT_EQ(strip.imageViews()[1]->geometry(), QRect(200, 0, 200, 80));
    EXPECT_EQ(strip.scrollView()->widget()->size(), QSize(400, 80));
    EXPECT_EQ(strip.scrollView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    strip.setCloseButtonVisible(false);
    EXPECT_FALSE(strip.closeButtonVisible());
}

}  // namespace
