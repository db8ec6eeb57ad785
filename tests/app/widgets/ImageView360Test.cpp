// 360-degree pictures on screen: one turn of four frames on a virtual clock, ticking at 0.25 s
// with a new colour each tick and ending on the first frame; hostile series refused; the widget's
// own timer stopped when the widget goes; a view placed by the reader turns as its own does.
#include <gtest/gtest.h>

#include "PictureWidgetTestSupport.h"
#include "app/widgets/ImageRotationView.h"
#include "app/widgets/ImageView360Widget.h"
#include "platform/core/Exception.h"
#include "platform/runloop/RunLoop.h"

using namespace issueui_test;
using namespace picture_test;

namespace {

class ImageView360Test : public PictureWidgetTest {
  protected:
    void SetUp() override {
        PictureWidgetTest::SetUp();
        clock = std::make_shared<plat::VirtualClock>();
        clock->setAutoAdvance(false);
        plat::RunLoop::main().setClock(clock);
    }
    void TearDown() override {
        plat::RunLoop::main().setClock(nullptr);
        PictureWidgetTest::TearDown();
    }
    void tick(double seconds) {
        clock->advance(seconds);
        plat::RunLoop::main().runPending();
    }
    Entries spin(int32_t start, int32_t end, int32_t length, const char* format = "s<Id>") {
        return {{"WidgetType", "ImageView360"},
                {"Frame", "{{10,10},{100,75}}"},
                {"ImageFormat", format},
                {"ImageIdStart", start},
                {"ImageIdEnd", end},
                {"ImageIdLength", length},
                {"RunWhenActive", yes()}};
    }

    std::shared_ptr<plat::VirtualClock> clock;
};

TEST_F(ImageView360Test, FourFramesTurnOnceInOneSecondAndEndOnTheFirst) {
    const std::vector<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    // Frame 5 never arrives: it is left out, and one frame is enough to show the widget.
    auto widget = build<ImageView360Widget>(spin(5, 1, 1));
    ASSERT_TRUE(widget);
    EXPECT_FALSE(widget->button());
    EXPECT_FALSE(widget->isReadyForDisplay());
    EXPECT_EQ(widget->requiredInteractiveFileIds(),
              (std::vector<std::string>{"s1", "s2", "s3", "s4", "s5"}));
    for (size_t i = 0; i < colours.size(); ++i)
        cache("s" + std::to_string(i + 1), colours[i]);
    EXPECT_TRUE(widget->isReadyForDisplay());

    // Scale 2: the view lies at (20, 20, 200, 150) and shows the first frame at rest.
    widget->attachToView(hostView, QTransform::fromScale(2, 2));
    auto* view = widget->rotationView();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->tag(), 1);
    EXPECT_EQ(view->frame(), QRectF(20, 20, 200, 150));
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(near(pixel(120, 95), Qt::red));

    // Activation runs the action: one turn, a tick each 0.25 s (single precision).
    widget->didBecomeActive();
    ASSERT_TRUE(view->isAnimating());
    EXPECT_EQ(view->animationInterval(), static_cast<double>(1.0f / 4));
    EXPECT_EQ(widget->images()->size(), 4U);
    widget->invokeButtonAction(nullptr);  // a second start while turning does nothing
    tick(0.125);
    EXPECT_TRUE(near(pixel(120, 95), Qt::red));
    std::vector<QColor> shown;
    for (int i = 0; i < 4; ++i) {
        tick(0.25);
        shown.push_back(pixel(120, 95));
    }
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(near(shown[i], colours[(i + 1) % 4]))
            << i << " " << shown[i].name().toStdString();
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->currentAnimationImageIndex(), 0);
    tick(0.25);
    EXPECT_TRUE(near(pixel(120, 95), Qt::red));

    // Purged frames are loaded again for the next turn; the view keeps its own meanwhile.
    widget->purgeCacheData();
    EXPECT_FALSE(widget->images());
    widget->invokeButtonAction(nullptr);
    EXPECT_TRUE(view->isAnimating());
    tick(0.25);
    EXPECT_TRUE(near(pixel(120, 95), Qt::green));

    // The widget stops its own timer when it goes, even while someone else holds its view.
    const Ref<WidgetView> held = widget->widgetView();
    widget.reset();
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(held->superview() == nullptr);
}

TEST_F(ImageView360Test, HostileSeriesAreRefusedAndPatternsStayText) {
    for (const auto& [end, length] :
         std::vector<std::pair<int32_t, int32_t>>{{3, 0}, {3, 33}, {3, 1000000}, {2000000000, 2}}) {
        try {
            build<ImageView360Widget>(spin(0, end, length));
            ADD_FAILURE() << end << " " << length;
        } catch (const plat::Exception& e) {
            EXPECT_EQ(e.name(), "ArgumentOutOfRange");
        }
    }
    auto widget = build<ImageView360Widget>(spin(9, 10, 3, "%@%s%n<Id>%%d%"));
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->imagePaths(), (std::vector<std::string>{"%@%s%n009%d%", "%@%s%n010%d%"}));
    EXPECT_FALSE(widget->isReadyForDisplay());

    // Without frames nothing turns.
    widget->attachToView(hostView, QTransform());
    ASSERT_TRUE(widget->rotationView());
    EXPECT_TRUE(widget->rotationView()->hasImages());
    widget->didBecomeActive();
    EXPECT_FALSE(widget->rotationView()->isAnimating());
    widget->detachFromView();

    // On the reader's road the view it placed is handed back and becomes the widget's own: the
    // first activation turns it, and a press turns it again once the turn is over.
    cache("r1", Qt::red);
    cache("r2", Qt::green);
    auto placed = build<ImageView360Widget>(spin(1, 2, 1, "r<Id>"));
    ASSERT_TRUE(placed);
    placed->setAttachedView(hostView);
    auto readerView = placed->newWidgetView(QRectF(0, 0, 50, 50));
    auto* rotation = dynamic_cast<ImageRotationView*>(readerView.get());
    ASSERT_TRUE(rotation);
    placed->adoptPlacedView(hostView, readerView, QTransform());
    EXPECT_EQ(placed->widgetView(), readerView);
    EXPECT_FALSE(rotation->isAnimating());
    placed->didBecomeActive();
    EXPECT_TRUE(rotation->isAnimating());
    tick(0.5);
    tick(0.5);
    EXPECT_FALSE(rotation->isAnimating());
    placed->invokeButtonAction(nullptr);
    EXPECT_TRUE(rotation->isAnimating());
    // Taken off its page, the widget lets the view go.
    placed->detachFromView();
    EXPECT_FALSE(placed->widgetView());
    EXPECT_FALSE(placed->attachedView());
}

}  // namespace
