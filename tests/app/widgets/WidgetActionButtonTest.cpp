// The action button on screen, in pixels: the underline, the border, icons placed by their
// anchor, a disabled icon, and the pushed colour of toggles after real clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QTest>

#include "app/issueui/IssueUITestSupport.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetFactory.h"
#include "app/widgets/WidgetKinds.h"
#include "platform/image/Image.h"

using namespace issueui_test;

namespace {

class CountingWidget : public VisibleWidget {
  public:
    void widgetTapped() override { ++taps; }
    Ref<plat::Image> buttonIcon() const override { return icon; }
    int taps = 0;
    Ref<plat::Image> icon;
};

// A 20 by 20 opaque red picture.
Ref<plat::Image> redIcon() {
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return plat::Image::imageWithData(plat::Bytes(png.begin(), png.end()));
}

class WidgetActionButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WidgetFactory::unregisterAllWidgetClasses();
        WidgetViewFactory::removeAllMakers();
        registerWidgetKinds();
        QtWidgetView::installPlainViewMaker();
        host.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::white);
        host.setPalette(palette);
        host.resize(200, 100);
        host.show();
        hostView = QtWidgetView::borrowing(&host);
    }
    void TearDown() override {
        WidgetViewFactory::removeAllMakers();
        WidgetFactory::unregisterAllWidgetClasses();
    }
    // A widget of frame (0, 0, 100, 40) with that "Button", attached at scale 1.
    Ref<CountingWidget> attach(Entries button, bool withIcon = true) {
        auto widget = std::make_shared<CountingWidget>();
        if (withIcon)
            widget->icon = redIcon();
        widget->loadFromDictionary(*widgetDictionary(
            {{"Frame", "{{0,0},{100,40}}"}, {"Button", dict(std::move(button))}}));
        widget->attachToView(hostView, QTransform());
        return widget;
    }
    QImage grab() { return host.grab().toImage(); }
    static QWidget* widgetOf(const Ref<WidgetView>& view) {
        auto qt = std::dynamic_pointer_cast<QtWidgetView>(view);
        return qt ? qt->widget() : nullptr;
    }

    QWidget host;
    Ref<QtWidgetView> hostView;
};

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 &&
           std::abs(a.blue() - b.blue()) < 12;
}

TEST_F(WidgetActionButtonTest, UnderlineBorderAndIconsAreDrawnWhereTheyBelong) {
    const QColor white(255, 255, 255), halfCyan(128, 255, 255), yellow(255, 255, 0);
    {
        auto widget = attach({{kVN_CK_WidgetActionButton_FrameStyle, 0},
                              {kVN_CK_WidgetActionButton_IconVisible, no()}});
        auto image = grab();
        EXPECT_TRUE(near(image.pixelColor(50, 38), halfCyan))
            << image.pixelColor(50, 38).name().toStdString();
        EXPECT_TRUE(near(image.pixelColor(50, 39), halfCyan));
        EXPECT_TRUE(near(image.pixelColor(50, 37), white));
        EXPECT_TRUE(near(image.pixelColor(50, 20), white));
        EXPECT_TRUE(near(image.pixelColor(50, 40), white));
        EXPECT_FALSE(widget->button()->iconButton());
        widget->detachFromView();
    }
    {
        auto widget = attach({{kVN_CK_WidgetActionButton_FrameStyle, 2},
                              {kVN_CK_WidgetActionButton_IconAnchor, "{bottom,right}"}});
        auto image = grab();
        EXPECT_TRUE(near(image.pixelColor(50, 0), yellow));
        EXPECT_TRUE(near(image.pixelColor(50, 1), yellow));
        EXPECT_TRUE(near(image.pixelColor(0, 20), yellow));
        EXPECT_TRUE(near(image.pixelColor(99, 10), yellow));
        EXPECT_TRUE(near(image.pixelColor(50, 3), white));
        EXPECT_TRUE(near(image.pixelColor(0, 0), white));  // the rounded corner
        // The icon at (80, 20), enabled.
        EXPECT_TRUE(near(image.pixelColor(85, 25), QColor(255, 0, 0)));
        EXPECT_TRUE(near(image.pixelColor(75, 25), white));
        ASSERT_TRUE(widget->button()->iconButton());
        EXPECT_EQ(widget->button()->iconButton()->frame(), QRectF(80, 20, 20, 20));
        widget->detachFromView();
    }
    {
        // Centred and disabled: faded, and a click on it does nothing.
        auto widget = attach({{kVN_CK_WidgetActionButton_IconUserInteractive, no()}});
        auto image = grab();
        EXPECT_EQ(widget->button()->iconButton()->frame(), QRectF(40, 10, 20, 20));
        const QColor faded = image.pixelColor(50, 20);
        EXPECT_EQ(faded.red(), 255);
        EXPECT_GT(faded.green(), 100);
        EXPECT_LT(faded.green(), 200);
        QTest::mouseClick(widgetOf(widget->button()->iconButton()), Qt::LeftButton);
        EXPECT_EQ(widget->taps, 0);
        widget->detachFromView();
    }
}

TEST_F(WidgetActionButtonTest, ClicksReachTheWidgetAndTogglesStayPushed) {
    const QColor white(255, 255, 255), yellow(255, 255, 0);
    auto toggle = attach({{kVN_CK_WidgetActionButton_IsToggleButton, yes()}});
    auto* surface = widgetOf(toggle->button()->widgetView());
    ASSERT_TRUE(surface);
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseClick(widgetOf(toggle->button()->iconButton()), Qt::LeftButton);
    EXPECT_EQ(toggle->taps, 2);
    auto image = grab();
    EXPECT_TRUE(near(image.pixelColor(10, 10), yellow));
    EXPECT_TRUE(near(image.pixelColor(10, 60), white));
    toggle->detachFromView();

    // Pushed without toggling: back to clear at once. Without the effect: never yellow.
    for (const bool effect : {true, false}) {
        auto plainButton = attach(
            {{kVN_CK_WidgetActionButton_PushedEffectEnabled, plat::Value::boolean(effect)}}, false);
        QTest::mouseClick(widgetOf(plainButton->button()->widgetView()), Qt::LeftButton, {},
                          QPoint(10, 10));
        EXPECT_EQ(plainButton->taps, 1);
        EXPECT_TRUE(near(grab().pixelColor(10, 10), white));
        plainButton->detachFromView();
    }
}

}  // namespace
