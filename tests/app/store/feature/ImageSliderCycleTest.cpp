// The image slider on a virtual clock: timed, swiped and clicked changes with the styles they
// use, slides out of the tree until shown, the dots, and the keyed archive.
#include <gtest/gtest.h>

#include <QAbstractAnimation>
#include <QAbstractButton>
#include <memory>

#include "app/store/browse/OffscreenApplication.h"
#include "app/store/feature/FeatureAdBannerView.h"
#include "app/store/feature/MIHSliderDotsControl.h"
#include "app/store/feature/MIHSliderView.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/KeyedArchive.h"
#include "platform_ui/SubviewTransition.h"
#include "support/CapturedLog.h"

namespace {

// A slide that codes its name.
class NamedSlide : public ui::ViewController, public plat::Coding {
    PLAT_CLASS(NamedSlide)
  public:
    std::string name;
    void encodeWithCoder(plat::KeyedCoder& coder) const override {
        coder.encodeObject(plat::Value(name), "name");
    }
    bool initWithCoder(const plat::KeyedCoder& coder) override {
        name = coder.decodeObjectForKey("name").stringOr();
        return !name.empty();
    }
    static Ref<NamedSlide> make(std::string name) {
        auto slide = ui::ViewController::create<NamedSlide>();
        slide->name = std::move(name);
        return slide;
    }
};

}  // namespace

PLAT_DEFINE_CLASS(NamedSlide, ui::ViewController, PLAT_NO_METHODS)

namespace {

class ImageSliderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<plat::VirtualClock>();
        clock->setAutoAdvance(false);
        plat::RunLoop::main().setClock(clock);
    }
    void TearDown() override {
        for (const auto& slider : sliders)
            slider->setScheduledTransition(false);
        sliders.clear();
        plat::RunLoop::main().runPending();
        plat::RunLoop::main().setClock(nullptr);
        testing_support::runDeferredDeletions();
    }
    Ref<MIHSliderView> slider(size_t slides, const char* prefix = "s") {
        auto made = MIHSliderView::make(QSize(400, 250));
        for (size_t i = 0; i < slides; ++i)
            made->addSlide(NamedSlide::make(prefix + std::to_string(i)));
        sliders.push_back(made);
        return made;
    }
    // Moves the clock and runs what fell due.
    void after(double seconds) {
        clock->advance(seconds);
        plat::RunLoop::main().runPending();
    }
    static void swipe(MIHSliderView& s, std::initializer_list<double> deltas,
                      Qt::ScrollPhase last = Qt::ScrollEnd) {
        s.scrollWheel(Qt::ScrollBegin, 0);
        for (double d : deltas)
            s.scrollWheel(Qt::ScrollUpdate, d);
        s.scrollWheel(last, 0);
    }
    static QWidget* shownWidget(MIHSliderView& s) {
        const auto children = s.contentView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        return children.size() == 1 ? children.front() : nullptr;
    }

    std::shared_ptr<plat::VirtualClock> clock;
    std::vector<Ref<MIHSliderView>> sliders;
};

TEST_F(ImageSliderTest, TimedSwipedAndClickedChangesKeepTheirStyles) {
    auto s = slider(1);
    // The first slide shows at once, the only one in the tree; more slides add dots only.
    ASSERT_TRUE(s->displayedSlide());
    EXPECT_EQ(shownWidget(*s), s->slides()[0]->view());
    EXPECT_FALSE(ui::isRunningSubviewTransition(s->contentView()));
    for (int i = 1; i < 5; ++i)
        s->addSlide(NamedSlide::make("s" + std::to_string(i)));
    EXPECT_EQ(s->indexOfDisplayedSlide(), 0u);
    EXPECT_EQ(shownWidget(*s), s->slides()[0]->view());
    EXPECT_EQ(s->slides()[3]->view()->parentWidget(), nullptr);
    EXPECT_EQ(s->dotsControl()->dotsCount(), 5u);
    // The dot row is centred 8 points above the bottom edge.
    const QRect dots = s->dotsControl()->view()->geometry();
    EXPECT_EQ(dots.size(), QSize(22 * 5 + 15, 15));
    EXPECT_EQ(dots.x(), qRound((400 - (22 * 5 + 15) + 22) / 2.0));
    EXPECT_EQ(dots.bottom() + 1, 250 - 8);

    // Timed: one slide a period (4 s by default).
    after(3.9);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 0u);
    after(0.2);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 1u);
    EXPECT_EQ(shownWidget(*s), s->slides()[1]->view());
    EXPECT_EQ(s->slides()[0]->view()->parentWidget(), nullptr);
    s->displaySlideAtIndex(0);
    after(0.1);  // 0.2 s into the period

    // A swipe to the right of more than 50 points goes back (from the first, to the last) with a
    // push from the left, which later timed changes keep; the timer starts a full period again.
    swipe(*s, {30, 21});
    EXPECT_EQ(s->indexOfDisplayedSlide(), 4u);
    EXPECT_EQ(s->transitionStyle(), MIHSliderView::kPushFromLeft);
    after(3.9);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 4u);
    after(0.2);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 0u);
    EXPECT_EQ(s->transitionStyle(), MIHSliderView::kPushFromLeft);
    // Exactly 50 either way, a plain wheel, momentum and a slide index out of range change
    // nothing.
    swipe(*s, {25, 25});
    swipe(*s, {-50});
    s->scrollWheel(Qt::NoScrollPhase, -400);
    s->scrollWheel(Qt::ScrollMomentum, -400);
    s->displaySlideAtIndex(5);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 0u);
    EXPECT_EQ(s->dotsControl()->indexOfHighlightedDot(), 0u);
    // To the left: forward with a push from the right.
    swipe(*s, {-20, -40});
    EXPECT_EQ(s->indexOfDisplayedSlide(), 1u);
    EXPECT_EQ(s->transitionStyle(), MIHSliderView::kPushFromRight);

    // Dot clicks on screen: forward pushes from the right, back from the left, each for that
    // change only; Shift slows the change down.
    s->view()->show();
    s->setTransitionStyle(MIHSliderView::kFade);
    // With every trace group off, the click's console line (the dot clicked, and the one
    // highlighted until then) reaches the system log, not the terminal.
    const auto written = testing_support::writtenWithTracesOff([&] { s->dotViewSelected(3); });
    EXPECT_EQ(written.systemLog, std::vector<std::string>{"dotView, 3 crrut View:1"});
    EXPECT_EQ(written.onTerminal("dotView"), 0u);
    EXPECT_TRUE(ui::isRunningSubviewTransition(s->contentView()));
    EXPECT_EQ(s->slides()[3]->view()->pos(), QPoint(400, 0));
    EXPECT_EQ(s->transitionStyle(), MIHSliderView::kFade);
    s->dotViewSelected(0, Qt::ShiftModifier);
    EXPECT_EQ(s->slides()[0]->view()->pos(), QPoint(-400, 0));
    const auto runs =
        s->contentView()->findChildren<QAbstractAnimation*>(Qt::FindDirectChildrenOnly);
    ASSERT_FALSE(runs.isEmpty());
    EXPECT_EQ(runs.back()->totalDuration(), 1500);
    ui::finishSubviewTransition(s->contentView());
    EXPECT_EQ(shownWidget(*s), s->slides()[0]->view());
    EXPECT_EQ(s->slides()[0]->view()->pos(), QPoint(0, 0));
    EXPECT_EQ(s->transitionStyle(), MIHSliderView::kFade);
    // The dots say which slide shows; clicking one does as the click above.
    EXPECT_EQ(s->dotsControl()->indexOfHighlightedDot(), 0u);
    s->dotsControl()->dotButton(2)->click();
    EXPECT_EQ(s->indexOfDisplayedSlide(), 2u);
    ui::finishSubviewTransition(s->contentView());
    s->view()->hide();

    // A new interval restarts a running timer; a stopped one stays stopped.
    s->setScheduledTransitionInterval(2.0);
    after(2.05);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 3u);
    s->setScheduledTransition(false);
    s->setScheduledTransitionInterval(1.0);
    s->setScheduledTransitionInterval(0);
    EXPECT_FALSE(s->scheduledTransition());
    EXPECT_EQ(s->scheduledTransitionInterval(), 1.0);
    after(5);
    EXPECT_EQ(s->indexOfDisplayedSlide(), 3u);

    // Without repeating, the timed changes stop at the last slide.
    auto once = slider(3, "r");
    once->setRepeatingScheduledTransition(false);
    for (int tick = 0; tick < 5; ++tick)
        after(4.0);
    EXPECT_EQ(once->indexOfDisplayedSlide(), 2u);
    EXPECT_TRUE(once->scheduledTransition());
    // Removing the shown slide leaves it on screen; emptying leaves the index at 0.
    const auto shown = once->displayedSlide();
    once->removeSlide(shown);
    EXPECT_EQ(once->indexOfDisplayedSlide(), 0u);
    EXPECT_EQ(shownWidget(*once), shown->view());
    once->removeAllSlide();
    after(4.0);
    EXPECT_EQ(once->displayedSlide(), shown);

    // A feature page's banner row slides every 5 seconds, pushing from the right, and stops its
    // slider when it goes: the slider goes with it.
    WeakRef<MIHSliderView> rowSlider;
    {
        auto row = ui::ViewController::create<FeatureAdBannerView>();
        rowSlider = row->mihSliderView();
        ASSERT_TRUE(rowSlider.lock());
        EXPECT_TRUE(rowSlider.lock()->scheduledTransition());
        EXPECT_EQ(rowSlider.lock()->scheduledTransitionInterval(), 5.0);
        EXPECT_EQ(rowSlider.lock()->transitionStyle(), MIHSliderView::kPushFromRight);
    }
    plat::RunLoop::main().runPending();
    EXPECT_TRUE(rowSlider.expired());
}

TEST_F(ImageSliderTest, ContentSlidesAndDotsFollowTheSlidersSize) {
    auto s = slider(3);
    s->view()->show();
    s->view()->resize(900, 300);
    const QRect bounds(0, 0, 900, 300);
    EXPECT_EQ(s->contentView()->geometry(), bounds);
    EXPECT_EQ(shownWidget(*s)->geometry(), bounds);
    const QRect dots = s->dotsControl()->view()->geometry();
    EXPECT_EQ(dots.x(), qRound((900 - (22 * 3 + 15) + 22) / 2.0));
    EXPECT_EQ(dots.bottom() + 1, 300 - 8);
    // Resized in the middle of a change: the change ends, the new slide fills the new size.
    s->displaySlideAtIndex(1);
    s->view()->resize(500, 200);
    EXPECT_FALSE(ui::isRunningSubviewTransition(s->contentView()));
    EXPECT_EQ(shownWidget(*s), s->slides()[1]->view());
    EXPECT_EQ(shownWidget(*s)->geometry(), QRect(0, 0, 500, 200));
    s->view()->hide();
}

TEST_F(ImageSliderTest, ArchivesRoundTripAndCorruptArchivesMakeNothing) {
    auto s = slider(3, "a");
    s->displaySlideAtIndex(1);
    s->setTransitionStyle(MIHSliderView::kPushFromLeft);
    s->setScheduledTransitionInterval(7.0);
    s->setTransitionAnimationDuration(0.9);
    s->setRepeatingScheduledTransition(false);
    s->setScheduledTransition(false);
    const auto data = plat::KeyedArchiver::archivedDataWithRootObject(plat::Value::fromObject(s));
    ASSERT_TRUE(data);

    auto copy = plat::KeyedUnarchiver::unarchiveObjectWithData(*data).as<MIHSliderView>();
    ASSERT_TRUE(copy);
    sliders.push_back(copy);
    ASSERT_EQ(copy->slides().size(), 3u);
    EXPECT_EQ(std::dynamic_pointer_cast<NamedSlide>(copy->slides()[2])->name, "a2");
    EXPECT_EQ(copy->indexOfDisplayedSlide(), 1u);
    EXPECT_EQ(copy->displayedSlide(), copy->slides()[1]);
    EXPECT_EQ(copy->transitionStyle(), MIHSliderView::kPushFromLeft);
    EXPECT_EQ(copy->scheduledTransitionInterval(), 7.0);
    EXPECT_EQ(copy->transitionAnimationDuration(), 0.9);
    EXPECT_FALSE(copy->repeatingScheduledTransition());
    EXPECT_FALSE(copy->scheduledTransition());
    ASSERT_NE(copy->dotsControl(), s->dotsControl());
    EXPECT_EQ(copy->dotsControl()->dotsCount(), 3u);
    EXPECT_EQ(copy->dotsControl()->sliderView(), copy);
    EXPECT_EQ(copy->dotsControl()->view()->parentWidget(), copy->view());
    EXPECT_EQ(copy->dotsControl()->highlightedDotImage().size(),
              s->dotsControl()->highlightedDotImage().size());

    // A running timer comes back running.
    s->setScheduledTransition(true);
    auto running = plat::KeyedUnarchiver::unarchiveObjectWithData(
                       *plat::KeyedArchiver::archivedDataWithRootObject(plat::Value::fromObject(s)))
                       .as<MIHSliderView>();
    ASSERT_TRUE(running);
    sliders.push_back(running);
    EXPECT_TRUE(running->scheduledTransition());
    s->setScheduledTransition(false);

    // Archives that do not describe a slider make none.
    const auto spoilt = [&](const char* key, plat::Value value) {
        plat::KeyedCoder coder;
        s->encodeWithCoder(coder);
        auto values = coder.values()->mutableCopy();
        values->setObject(std::move(value), plat::Value(key));
        auto form = plat::Value::fromObject(
            plat::makeDictionary({{plat::Value("$class"), plat::Value("MIHSliderView")},
                                  {plat::Value("$values"), plat::Value::fromObject(values)}}));
        return plat::KeyedCoder::objectFromEncodedForm(form);
    };
    EXPECT_TRUE(spoilt("indexOfDisplayedSlide", plat::Value(int64_t{2})));
    EXPECT_FALSE(spoilt("indexOfDisplayedSlide", plat::Value(int64_t{3})));
    EXPECT_FALSE(spoilt("indexOfDisplayedSlide", plat::Value(int64_t{-1})));
    EXPECT_FALSE(spoilt("_slides", plat::Value("slides")));
    EXPECT_FALSE(spoilt("_scheduledTransitionInterval", plat::Value(0.0)));
    EXPECT_FALSE(spoilt("_transitionAnimationDuration", plat::Value("long")));
    EXPECT_FALSE(spoilt("_dotsControl", plat::Value(int64_t{1})));
    std::vector<uint8_t> cut(data->begin(), data->begin() + static_cast<long>(data->size() / 2));
    EXPECT_TRUE(plat::KeyedUnarchiver::unarchiveObjectWithData(cut).isNil());
}

}  // namespace
