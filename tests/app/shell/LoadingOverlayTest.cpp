#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>

#include "ShellGuiSupport.h"
#include "app/AreaRegistrations.h"
#include "app/shell/BackgroundViews.h"
#include "app/shell/HZLoading.h"
#include "platform_ui/ResourceRegistry.h"
#include "support/GuiTestSupport.h"

namespace {

class CancelListener : public plat::Object {
    PLAT_CLASS(CancelListener)
  public:
    void cancelled(Ref<HZLoading> overlay) { overlays.push_back(overlay); }
    std::vector<Ref<HZLoading>> overlays;
};

class Deaf : public plat::Object {
    PLAT_CLASS(Deaf)
};

}  // namespace

PLAT_DEFINE_CLASS(CancelListener, plat::Object,
                  [](auto& c) { c.method("HZLoading_CancelClick:", &CancelListener::cancelled); })
PLAT_DEFINE_CLASS(Deaf, plat::Object, PLAT_NO_METHODS)

namespace {

TEST(LoadingOverlayTest, CancelReachesOnlyADelegateThatAnswers) {
    registerAllAreaResources(ui::ResourceRegistry::shared());
    auto overlay = ui::ResourceRegistry::shared().instantiate<HZLoading>("", "HZLoading");
    ASSERT_TRUE(overlay);
    QWidget* view = overlay->view();
    ASSERT_TRUE(overlay->cancelButton() && overlay->btnLoading() && overlay->loadingProgress());

    overlay->cancelButton()->click();  // no delegate: nothing
    auto deaf = std::make_shared<Deaf>();
    overlay->setDelegate(deaf);
    overlay->cancelButton()->click();  // no such method: nothing
    auto listener = std::make_shared<CancelListener>();
    overlay->setDelegate(listener);
    overlay->cancelButton()->click();
    ASSERT_EQ(listener->overlays.size(), 1u);
    EXPECT_EQ(listener->overlays[0], overlay);
    // The delegate is not retained.
    listener.reset();
    overlay->cancelButton()->click();

    // The hidden flag acts at once, either way.
    overlay->setHiddenCancelButton(true);
    EXPECT_TRUE(overlay->cancelButton()->isHidden());
    overlay->setHiddenCancelButton(false);
    EXPECT_FALSE(overlay->cancelButton()->isHidden());

    // The busy indicator runs from load on, and the overlay's buttons are red.
    EXPECT_EQ(overlay->loadingProgress()->maximum(), 0);
    view->resize(320, 240);
    view->show();
    testing_support::spin(20);
    EXPECT_GT(shell_testing::pixelsNear(view, HZLoading::overlayRed()), 200);
    EXPECT_GT(shell_testing::pixelsNear(overlay->cancelButton(), HZLoading::overlayRed()), 100);
    view->hide();
}

TEST(LoadingOverlayTest, BackgroundViewsLieOverWhatIsBeneath) {
    // A blue screen with the grey, clear and white backgrounds side by side at its top.
    QWidget screen;
    screen.resize(300, 240);
    screen.setAutoFillBackground(true);
    QPalette palette = screen.palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 255));
    screen.setPalette(palette);
    auto* grey = new GrayBackgroundView(&screen);  // owned by the screen
    grey->setGeometry(0, 0, 100, 100);
    auto* clear = new RedBackgroundView(&screen);
    clear->setGeometry(100, 0, 100, 100);
    auto* white = new WhiteBackgroundView(&screen);
    white->setGeometry(200, 0, 100, 100);
    const QImage image = screen.grab().toImage();

    // Grey at 0.4 over the blue: (0.6 * 0 + 0.4 * 128, the same, 0.6 * 255 + 0.4 * 128).
    const QColor dimmed(51, 51, 204);
    EXPECT_EQ(shell_testing::pixelsNear(image.copy(0, 0, 100, 100), dimmed), 100 * 100);
    EXPECT_EQ(shell_testing::pixelsNear(image.copy(100, 0, 100, 100), QColor(0, 0, 255)),
              100 * 100);
    EXPECT_EQ(shell_testing::pixelsNear(image.copy(200, 0, 100, 100), QColor(Qt::white)),
              100 * 100);

    // The loading overlay dims the screen it covers, around its own red buttons.
    registerAllAreaResources(ui::ResourceRegistry::shared());
    auto overlay = ui::ResourceRegistry::shared().instantiate<HZLoading>("", "HZLoading");
    ASSERT_TRUE(overlay);
    overlay->view()->setParent(&screen);
    overlay->view()->setGeometry(0, 0, 300, 240);
    overlay->view()->show();
    EXPECT_GT(shell_testing::pixelsNear(&screen, dimmed), 300 * 140 / 2);
    EXPECT_EQ(shell_testing::pixelsNear(&screen, QColor(0, 0, 255)), 0);
    overlay->view()->setParent(nullptr);
}

TEST(LoadingOverlayTest, CancelButtonHiddenBeforeTheViewLoads) {
    auto overlay = ui::ViewController::create<HZLoading>();
    overlay->setHiddenCancelButton(true);
    overlay->view();
    EXPECT_TRUE(overlay->cancelButton()->isHidden());
}

}  // namespace
