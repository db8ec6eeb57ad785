#include <gtest/gtest.h>

#include "support/GuiTestSupport.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsEffect>
#include <QLabel>
#include <QMessageBox>
#include <QRawFont>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>
#include <map>
#include <set>
#include <thread>

#include "platform/net/UrlConnection.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/RunLoop.h"
#include "platform_ui/Alert.h"
#include "platform_ui/Application.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "platform_ui/Popover.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/SubviewTransition.h"
#include "platform_ui/TableView.h"
#include "platform_ui/UrlOpener.h"
#include "platform_ui/ViewGeometry.h"
#include "platform_ui/WindowController.h"
#include "support/net/RawHttpServer.h"

namespace {

using testing_support::spinUntil;

// Screen changes get a little longer than the default.
void spin(int ms = 50) {
    testing_support::spin(ms);
}

std::vector<std::string>& events() {
    static std::vector<std::string> log;
    return log;
}

class RecordingController : public ui::ViewController {
  public:
    explicit RecordingController(std::string name) : ViewController("Recording"), name_(name) {
        events().push_back(name_ + " init");
    }
    void awakeFromNib() override { events().push_back(name_ + " awake"); }
    void viewDidLoad() override { events().push_back(name_ + " load"); }
    void viewWillAppear() override { events().push_back(name_ + " willAppear"); }
    void viewDidAppear() override { events().push_back(name_ + " appear"); }
    void viewDidDisappear() override { events().push_back(name_ + " disappear"); }

  private:
    std::string name_;
};

class RecordingWindow : public ui::WindowController {
  public:
    void windowDidLoad() override { events().push_back("window load"); }
};

TEST(ScreenKitTest, ControllersFollowTheLifeCycleOfExplicitShowsAndHides) {
    events().clear();
    auto content = ui::ViewController::create<RecordingController>("content");
    EXPECT_EQ(content->view(), content->view());
    auto windowController = std::make_shared<RecordingWindow>();
    windowController->setContentViewController(content);
    int closes = 0;
    const auto observer = plat::NotificationCenter::defaultCenter().addObserver(
        [&](const plat::Notification&) { ++closes; }, ui::kWindowWillCloseNotification);
    events().push_back("before show");
    windowController->showWindow();
    events().push_back("after show");
    spin();
    auto child = ui::ViewController::create<RecordingController>("child");
    child->addToContainer(content->view());
    child->removeFromContainer();
    child->addToContainer(content->view());
    auto sheet = ui::ViewController::create<RecordingController>("sheet");
    content->presentViewControllerAsSheet(sheet);
    spin();
    content->dismissViewController(sheet);
    spin();
    events().push_back("-- close");
    windowController->close();
    spin();
    events().push_back("-- reshow");
    windowController->showWindow();
    spin();
    events().push_back("-- minimise");
    windowController->window()->showMinimized();
    spin();
    windowController->window()->showNormal();
    spin();
    plat::NotificationCenter::defaultCenter().removeObserver(observer);

    const std::vector<std::string> expected = {
        "content init",       "content awake",      "content load",     "before show",
        "window load",        "content willAppear", "content appear",   "after show",
        "child init",         "child awake",        "child load",       "child willAppear",
        "child appear",       "child disappear",    "child willAppear", "child appear",
        "sheet init",         "sheet awake",        "sheet load",       "sheet willAppear",
        "sheet appear",       "sheet disappear",    "-- close",         "child disappear",
        "content disappear",  "-- reshow",          "child willAppear", "child appear",
        "content willAppear", "content appear",     "-- minimise"};
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(closes, 1);
}

// Answers one request after a short delay.
class Waiter : public plat::UrlConnectionDelegate {
  public:
    void didFinishLoading(plat::UrlConnection&) override {
        finished = true;
        if (onFinish)
            onFinish();
    }
    void didFailWithError(plat::UrlConnection&, const Ref<plat::Error>&) override {
        finished = true;
        if (onFinish)
            onFinish();
    }
    bool finished = false;
    std::function<void()> onFinish;
};

TEST(ScreenKitTest, ModalLoopsRunCompletionsButHoldDefaultModeWork) {
    ui::RunLoopBridge::install();
    net_test::RawHttpServer server([](const std::string&, const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return net_test::RawHttpServer::Reply{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
                                              false};
    });
    const auto load = [&](const std::shared_ptr<Waiter>& waiter) {
        auto connection = plat::UrlConnection::make(
            plat::UrlRequest(plat::Url::parse(server.url("/")).value()), waiter);
        connection->scheduleInRunLoop(plat::RunLoop::main(), plat::commonModes());
        connection->start();
        return connection;
    };

    // An alert opened inside a perform: the completion arrives while it is up and closes it; a
    // default-mode perform queued meanwhile waits for the alert.
    auto waiter = std::make_shared<Waiter>();
    bool defaultWorkRan = false, defaultRanDuringAlert = false, alertDone = false;
    Ref<plat::UrlConnection> connection;
    waiter->onFinish = [&] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
        else
            QTimer::singleShot(50, [] {
                if (QWidget* box = QApplication::activeModalWidget())
                    box->close();
            });
    };
    plat::RunLoop::main().perform([&] {
        connection = load(waiter);
        plat::RunLoop::main().perform([&] {
            defaultWorkRan = true;
            defaultRanDuringAlert = !alertDone;
        });
        ui::Alert::shared().runModal(nullptr, "ข้อความ", "");
        alertDone = true;
    });
    ASSERT_TRUE(spinUntil([&] { return alertDone && defaultWorkRan; }, 10000));
    EXPECT_TRUE(waiter->finished);
    EXPECT_FALSE(defaultRanDuringAlert);

    // A modal window ended by the completion's stopModal; stopModal without a loop, or twice,
    // does nothing.
    ui::Application::shared().stopModal();
    auto second = std::make_shared<Waiter>();
    second->onFinish = [] {
        ui::Application::shared().stopModal(7);
        ui::Application::shared().stopModal(8);
    };
    QWidget window;
    connection = load(second);
    EXPECT_EQ(ui::Application::shared().runModalForWindow(&window), 7);
    EXPECT_TRUE(second->finished);
    EXPECT_FALSE(ui::Application::shared().isRunningModal());
}

TEST(ScreenKitTest, TheLaunchHookRunsOnceTheLoopRunsAndPerformsFlowThroughIt) {
    int launches = 0;
    bool performed = false;
    ui::Application::shared().setLaunchHook([&] {
        ++launches;
        plat::RunLoop::main().perform([&] {
            performed = true;
            QApplication::quit();
        });
    });
    EXPECT_EQ(launches, 0);
    EXPECT_EQ(ui::Application::shared().run(), 0);
    EXPECT_EQ(launches, 1);
    EXPECT_TRUE(performed);
}

TEST(ScreenKitTest, ListsAndGridsBuildOnlyWhatIsOnScreenAndReuseIt) {
    ui::TableView table;
    table.resize(300, 600);
    int made = 0;
    table.setRowHeight(130);
    table.setDataSource({[](ui::TableView&) { return 10000; },
                         [&](ui::TableView& t, int row) {
                             QWidget* cell = t.makeView("cell");
                             if (!cell) {
                                 cell = std::make_unique<QLabel>().release();  // the table owns it
                                 ui::TableView::setIdentifier(cell, "cell");
                                 ++made;
                             }
                             static_cast<QLabel*>(cell)->setText(QString::number(row));
                             return cell;
                         },
                         {}});
    table.show();
    spin();
    const int visible = (table.viewport()->height() + 129) / 130 + 1;
    EXPECT_LE(table.liveViewCount(), visible);
    EXPECT_LE(made, visible + 2);
    table.scrollRowToVisible(9999);
    spin();
    EXPECT_TRUE(table.viewAtRow(9999));
    EXPECT_EQ(static_cast<QLabel*>(table.viewAtRow(9999))->text(), "9999");
    EXPECT_LE(made, visible + 2);

    ui::CollectionView grid;
    grid.resize(420, 600);
    grid.setItemSize({120, 160});
    int appeared = 0;
    int disappeared = 0;
    class Item : public ui::CollectionViewItem {
      public:
        Item(int& appeared, int& disappeared) : appeared_(appeared), disappeared_(disappeared) {}
        void viewDidAppear() override { ++appeared_; }
        void viewDidDisappear() override { ++disappeared_; }
        int& appeared_;
        int& disappeared_;
    };
    grid.setItemFactory([&] { return ui::ViewController::create<Item>(appeared, disappeared); });
    std::vector<plat::Value> content;
    for (int i = 0; i < 1000; ++i)
        content.emplace_back(int32_t{i});
    grid.setContent(content);
    grid.show();
    spin();
    const int onScreen = grid.liveItemCount();
    EXPECT_GT(onScreen, 0);
    for (int step = 0; step < 20; ++step) {
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->value() + 500);
        spin(5);
    }
    EXPECT_LE(grid.madeItemCount(), onScreen + 2 * 3 + 3);
    const int last = static_cast<int>(content.size()) - 1;
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    spin();
    ASSERT_TRUE(grid.itemAtIndex(last));
    EXPECT_EQ(grid.itemAtIndex(last)->representedObject().intValue(), last);
    EXPECT_GT(appeared, grid.madeItemCount());  // reused items appear again
    // Each item on screen appeared once more than it went.
    EXPECT_EQ(appeared - disappeared, grid.liveItemCount());

    // Objects added after the last leave the items on screen as they are; the grid grows to
    // show them.
    {
        std::map<int, Ref<ui::CollectionViewItem>> live;
        for (int i = 0; i <= last; ++i)
            if (auto item = grid.itemAtIndex(i))
                live[i] = item;
        const int maximum = grid.verticalScrollBar()->maximum();
        const int appearedAtEnd = appeared;
        std::vector<plat::Value> more;
        for (int i = 1000; i < 1100; ++i)
            more.emplace_back(int32_t{i});
        grid.appendContent(more);
        ASSERT_EQ(grid.content().size(), 1100u);
        EXPECT_EQ(grid.content()[1099].intValue(), 1099);
        for (const auto& [index, item] : live) {
            EXPECT_EQ(grid.itemAtIndex(index), item) << index;
            EXPECT_EQ(item->representedObject().intValue(), index);
        }
        // Only the new objects that stand within the lines kept live appear.
        EXPECT_EQ(appeared - appearedAtEnd, grid.liveItemCount() - static_cast<int>(live.size()));
        EXPECT_GT(grid.verticalScrollBar()->maximum(), maximum);
        // (Reading the items shown lays out a pending tile at once: no turn of the loop needed.)
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        ASSERT_TRUE(grid.itemAtIndex(1099));
        EXPECT_EQ(grid.itemAtIndex(1099)->representedObject().intValue(), 1099);
        EXPECT_TRUE(grid.itemAtIndex(1099)->view()->isVisible());
        EXPECT_EQ(appeared - disappeared, grid.liveItemCount());

        // A page added at the foot of the grid and a scroll to the new end right after it lay
        // their items out once, where the grid ends up: only the items that come into view
        // appear, once each.
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() - 170);
        std::set<int> shownBefore;
        for (int i = 0; i < 1100; ++i)
            if (grid.itemAtIndex(i))
                shownBefore.insert(i);
        ASSERT_TRUE(shownBefore.count(1099));  // the last line, not full, is in view
        const int appearedBefore = appeared;
        more.clear();
        for (int i = 1100; i < 1200; ++i)
            more.emplace_back(int32_t{i});
        grid.appendContent(more);
        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        int entered = 0;
        for (int i = 0; i < 1200; ++i)
            entered += grid.itemAtIndex(i) && !shownBefore.count(i) ? 1 : 0;
        EXPECT_GT(entered, 0);
        EXPECT_EQ(appeared - appearedBefore, entered);
        EXPECT_EQ(grid.itemAtIndex(1199)->representedObject().intValue(), 1199);
        EXPECT_EQ(appeared - disappeared, grid.liveItemCount());
        grid.setContent(content);
    }

    // New content leaves the items on screen in their places: an item whose object changed
    // shows the new one and appears again, the others are left alone, and items past the end of
    // shorter content go.
    grid.verticalScrollBar()->setValue(0);
    spin();
    std::map<int, Ref<ui::CollectionViewItem>> before;
    for (int i = 0; i < onScreen; ++i)
        before[i] = grid.itemAtIndex(i);
    ASSERT_TRUE(before[0] && before[onScreen - 1]);
    const int appearedBefore = appeared;
    auto changed = content;
    changed[1] = plat::Value(int32_t{-1});
    changed[2] = plat::Value(int32_t{-2});
    grid.setContent(changed);
    for (int i = 0; i < onScreen; ++i)
        EXPECT_EQ(grid.itemAtIndex(i), before[i]) << i;
    EXPECT_EQ(grid.itemAtIndex(1)->representedObject().intValue(), -1);
    EXPECT_EQ(grid.itemAtIndex(2)->representedObject().intValue(), -2);
    EXPECT_EQ(grid.itemAtIndex(3)->representedObject().intValue(), 3);
    EXPECT_EQ(appeared, appearedBefore + 2);
    EXPECT_TRUE(grid.itemAtIndex(1)->view()->isVisible());
    grid.setContent(std::vector<plat::Value>(changed.begin(), changed.begin() + 2));
    EXPECT_EQ(grid.liveItemCount(), 2);
    EXPECT_EQ(grid.itemAtIndex(0), before[0]);
    EXPECT_FALSE(before[2]->view()->isVisible());
    EXPECT_EQ(appeared, appearedBefore + 2);
    grid.setContent(changed);
    EXPECT_EQ(grid.itemAtIndex(2)->representedObject().intValue(), -2);
    EXPECT_TRUE(grid.itemAtIndex(2)->view()->isVisible());

    // A strip: one row that scrolls sideways; its items know the strip and its delegate.
    ui::CollectionView strip;
    strip.resize(300, 200);
    strip.setItemSize({100, 150});
    strip.setScrollDirection(ui::CollectionView::ScrollDirection::Horizontal);
    auto delegate = std::make_shared<plat::Object>();
    strip.setDelegate(delegate);
    strip.setItemFactory([&] { return ui::ViewController::create<Item>(appeared, disappeared); });
    strip.setContent(std::vector<plat::Value>(content.begin(), content.begin() + 30));
    strip.show();
    spin();
    ASSERT_TRUE(strip.itemAtIndex(1));
    EXPECT_EQ(strip.rectOfItem(1).top(), strip.rectOfItem(0).top());
    EXPECT_EQ(strip.rectOfItem(1).left(), strip.rectOfItem(0).right() + 11);
    EXPECT_EQ(strip.itemAtIndex(1)->collectionView(), &strip);
    EXPECT_EQ(strip.itemAtIndex(1)->collectionView()->delegate(), delegate);
    EXPECT_FALSE(strip.itemAtIndex(29));
    EXPECT_EQ(strip.indexAt(strip.rectOfItem(2).center()), 2);
    strip.horizontalScrollBar()->setValue(strip.horizontalScrollBar()->maximum());
    spin();
    ASSERT_TRUE(strip.itemAtIndex(29));
    EXPECT_EQ(strip.itemAtIndex(29)->representedObject().intValue(), 29);
    EXPECT_EQ(strip.verticalScrollBar()->maximum(), 0);
    EXPECT_LE(strip.madeItemCount(), 6);
}

TEST(ScreenKitTest, GridsReportTheirBoundsItemsSelectAndSubviewsChangeWithTransitions) {
    // Scrolling and resizing a grid post its bounds changes; the visible part follows.
    ui::CollectionView grid;
    grid.resize(400, 300);
    grid.setItemSize({100, 100});
    grid.setSpacing(0);
    grid.setItemFactory([] { return ui::ViewController::create<ui::CollectionViewItem>(); });
    grid.setContent(std::vector<plat::Value>(100, plat::Value(int32_t{1})));
    grid.show();
    spin();
    int posts = 0;
    const auto observer = plat::NotificationCenter::defaultCenter().addObserver(
        [&](const plat::Notification& n) {
            EXPECT_EQ(n.object, grid.boundsObject());
            ++posts;
        },
        ui::kViewBoundsDidChangeNotification, grid.boundsObject());
    EXPECT_EQ(grid.contentSize().height(),
              grid.verticalScrollBar()->maximum() + grid.viewport()->height());
    grid.verticalScrollBar()->setValue(700);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(grid.visibleRect().top(), 700);
    EXPECT_EQ(grid.visibleRect().bottom() + 1, 700 + grid.viewport()->height());
    grid.resize(400, 500);
    spin();
    EXPECT_GE(posts, 2);
    EXPECT_EQ(grid.visibleRect().height(), grid.viewport()->height());
    plat::NotificationCenter::defaultCenter().removeObserver(observer);
    ASSERT_TRUE(grid.itemAtIndex(28));
    grid.itemAtIndex(28)->setSelected(true);
    EXPECT_TRUE(grid.itemAtIndex(28)->isSelected());
    EXPECT_FALSE(grid.itemAtIndex(29)->isSelected());

    // A push from the right: both views move while it runs, then only the new one stays, in the
    // old one's place; nothing runs afterwards. A second change finishes the first at once.
    QWidget container;
    container.resize(200, 100);
    container.show();
    auto first = std::make_unique<QWidget>(&container);
    first->setGeometry(10, 5, 180, 90);
    auto second = std::make_unique<QWidget>();
    auto third = std::make_unique<QWidget>();
    std::vector<QWidget*> leftViews;
    const auto record = [&](QWidget* old) { leftViews.push_back(old); };
    ui::replaceSubview(
        &container, first.get(), second.get(),
        {ui::SubviewTransition::Type::Push, ui::SubviewTransition::Subtype::FromRight, 0.2},
        record);
    EXPECT_TRUE(ui::isRunningSubviewTransition(&container));
    EXPECT_EQ(second->parentWidget(), &container);
    EXPECT_EQ(second->pos(), QPoint(190, 5));
    // A busy machine may give the animation its first step late: wait for it.
    ASSERT_TRUE(spinUntil([&] { return second->x() < 190; }));
    EXPECT_LT(first->x(), 10);
    ASSERT_TRUE(spinUntil([&] { return !ui::isRunningSubviewTransition(&container); }));
    EXPECT_EQ(second->geometry(), QRect(10, 5, 180, 90));
    EXPECT_EQ(first->parentWidget(), nullptr);
    EXPECT_EQ(leftViews, std::vector<QWidget*>{first.get()});
    for (const auto* animation : container.findChildren<QAbstractAnimation*>())
        EXPECT_EQ(animation->state(), QAbstractAnimation::Stopped);
    EXPECT_TRUE(spinUntil([&] { return container.findChildren<QAbstractAnimation*>().isEmpty(); }));

    ui::replaceSubview(&container, second.get(), third.get(),
                       {ui::SubviewTransition::Type::Fade, {}, 5.0}, record);
    ASSERT_TRUE(ui::isRunningSubviewTransition(&container));
    ASSERT_TRUE(third->graphicsEffect());
    ui::replaceSubview(
        &container, third.get(), first.get(),
        {ui::SubviewTransition::Type::MoveIn, ui::SubviewTransition::Subtype::FromTop, 5.0},
        record);
    EXPECT_EQ(third->parentWidget(), &container);
    EXPECT_FALSE(third->graphicsEffect());
    EXPECT_EQ(second->parentWidget(), nullptr);
    EXPECT_EQ(first->pos(), QPoint(10, 5 - 90));
    ui::finishSubviewTransition(&container);
    EXPECT_FALSE(ui::isRunningSubviewTransition(&container));
    EXPECT_EQ(first->geometry(), QRect(10, 5, 180, 90));
    EXPECT_EQ(third->parentWidget(), nullptr);
    EXPECT_EQ(leftViews.size(), 3u);
    // Out of sight the change is made at once.
    container.hide();
    ui::replaceSubview(
        &container, first.get(), second.get(),
        {ui::SubviewTransition::Type::Push, ui::SubviewTransition::Subtype::FromLeft, 5.0});
    EXPECT_FALSE(ui::isRunningSubviewTransition(&container));
    EXPECT_EQ(first->parentWidget(), nullptr);
    second.release();  // the container owns it now
}

TEST(ScreenKitTest, AnElidingLabelMeasuresOnceAndFollowsItsTextAndFont) {
    // What the label measures for its room and its width is what QLabel and the font measure,
    // for each text and font it is given in turn.
    ui::ElidingLabel label;
    label.setFont(ui::thaiCapableFont(13));
    label.resize(112, 17);
    const std::vector<QString> texts = {"Book",
                                        QString::fromUtf8("ผู้ใหญ่ฉบับพิเศษ"),
                                        QString::fromUtf8("นิตยสารรายเดือนฉบับพิเศษสำหรับผู้อ่านทุกคน"),
                                        QString::fromUtf8("漢字 ผู้"),
                                        "two\nlines",
                                        "<b>rich</b> text",
                                        ""};
    for (const QFont& font : {QFont(), ui::thaiCapableFont(13), ui::thaiCapableFont(24)}) {
        label.setFont(font);
        for (const QString& text : texts) {
            label.setText(text);
            EXPECT_EQ(ui::textRoomHeight(&label), text.isEmpty() ? 0 : label.sizeHint().height())
                << text.toStdString() << " in " << font.toString().toStdString();
            EXPECT_EQ(ui::naturalTextWidth(&label),
                      text.isEmpty() ? 0 : label.fontMetrics().horizontalAdvance(text))
                << text.toStdString() << " in " << font.toString().toStdString();
        }
    }

    // Drawn as a label that was given only its present text: elided when too wide, whole when
    // it fits, after texts of the other kind.
    auto drawn = [](QLabel& shown) {
        return shown.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QString shortText = texts[0];
    const QString longText = texts[2];
    label.setFont(ui::thaiCapableFont(13));
    label.setStyleSheet("background: white; color: black");
    for (const QString& text : {shortText, longText, shortText, longText}) {
        label.setText(text);
        ui::ElidingLabel fresh(text);
        fresh.setFont(label.font());
        fresh.setStyleSheet(label.styleSheet());
        fresh.resize(label.size());
        EXPECT_EQ(drawn(label), drawn(fresh)) << text.toStdString();
    }
    ui::ElidingLabel elided(longText);
    elided.setFont(label.font());
    elided.setStyleSheet(label.styleSheet());
    elided.resize(label.size());
    QLabel cut(label.fontMetrics().elidedText(longText, Qt::ElideRight, label.width()));
    cut.setFont(label.font());
    cut.setStyleSheet(label.styleSheet());
    cut.resize(label.size());
    EXPECT_EQ(drawn(elided), drawn(cut));
}

TEST(ScreenKitTest, ThaiTextLayersMasksFieldsAndUrls) {
    // A Thai label draws dark pixels with a font that has Thai glyphs.
    QLabel label(QString::fromUtf8("สวัสดีครับ"));
    label.setFont(ui::thaiCapableFont(20));
    label.setStyleSheet("background: white; color: black");
    label.adjustSize();
    const QImage shot = label.grab().toImage();
    int dark = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            dark += qGray(shot.pixel(x, y)) < 100;
    EXPECT_GT(dark, 20);
    QTextLayout layout(label.text(), label.font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns())
        EXPECT_TRUE(run.rawFont().supportsCharacter(QChar(0x0E2A)));

    // Layer: background, border, rounded corner, shadow on the parent.
    QWidget parent;
    parent.resize(200, 200);
    parent.setStyleSheet("background: white");
    ui::LayerView layer(&parent);
    layer.setGeometry(50, 50, 100, 80);
    ui::LayerStyle style;
    style.background = QColor(Qt::blue);
    style.borderColor = QColor(Qt::red);
    style.borderWidth = 4;
    style.cornerRadius = 20;
    style.shadowColor = QColor(0, 0, 0, 200);
    style.shadowRadius = 4;
    style.shadowOffset = {0, 6};
    layer.setLayerStyle(style);
    parent.show();
    spin();
    const QImage p = parent.grab().toImage();
    EXPECT_EQ(QColor(p.pixel(100, 90)), QColor(Qt::blue));
    EXPECT_GT(QColor(p.pixel(100, 51)).red(), 200);  // border
    EXPECT_LT(QColor(p.pixel(100, 51)).blue(), 80);
    EXPECT_EQ(QColor(p.pixel(51, 51)).blue(), 255);  // outside the rounded corner: white
    EXPECT_EQ(QColor(p.pixel(51, 51)).red(), 255);
    EXPECT_LT(qGray(p.pixel(100, 133)), 200);  // shadow below
    EXPECT_EQ(QColor(p.pixel(100, 190)), QColor(Qt::white));
    // The same style again keeps the layer's shadow as it is.
    QGraphicsEffect* const shadow = layer.graphicsEffect();
    layer.setLayerStyle(style);
    EXPECT_EQ(layer.graphicsEffect(), shadow);

    // A shadow cast by the body's outline, over a layer whose picture covers it: the picture
    // shows whole, the shadow lies under it and fades out within its radius beyond it.
    QWidget page;
    page.resize(200, 200);
    page.setStyleSheet("background: white");
    ui::LayerView body(&page);
    body.setGeometry(50, 50, 100, 80);
    QLabel picture(&body);
    picture.setGeometry(body.rect());
    QImage green(100, 80, QImage::Format_RGB32);
    green.fill(Qt::green);
    green.setPixel(0, 0, qRgb(255, 0, 255));
    picture.setPixmap(QPixmap::fromImage(green));
    style = {};
    style.shadowColor = QColor(0, 0, 0, 200);
    style.shadowRadius = 4;
    style.shadowOffset = {0, 6};
    style.shadowFromBody = true;
    body.setLayerStyle(style);
    page.show();
    spin();
    const QImage cast = page.grab().toImage();
    EXPECT_EQ(QColor(cast.pixel(50, 50)), QColor(255, 0, 255));
    EXPECT_EQ(QColor(cast.pixel(149, 129)), QColor(Qt::green));
    EXPECT_LT(qGray(cast.pixel(100, 133)), 200);                          // below, offset down
    EXPECT_LT(qGray(cast.pixel(151, 100)), qGray(cast.pixel(153, 100)));  // fading sideways
    EXPECT_EQ(QColor(cast.pixel(100, 48)), QColor(Qt::white));            // lifted off the top
    EXPECT_EQ(QColor(cast.pixel(155, 100)), QColor(Qt::white));
    EXPECT_EQ(QColor(cast.pixel(100, 141)), QColor(Qt::white));
    // Resized, the layer casts the shadow of its new size; without a shadow it casts none.
    body.resize(60, 40);
    spin();
    const QImage small = page.grab().toImage();
    EXPECT_LT(qGray(small.pixel(80, 93)), 200);
    EXPECT_EQ(QColor(small.pixel(100, 133)), QColor(Qt::white));
    style.shadowColor.reset();
    body.setLayerStyle(style);
    EXPECT_FALSE(body.graphicsEffect());
    spin();
    EXPECT_EQ(QColor(page.grab().toImage().pixel(80, 93)), QColor(Qt::white));

    // Autoresizing masks after a parent resize (y-up margins).
    QWidget box;
    box.resize(400, 300);
    QWidget a(&box), b(&box), c(&box);
    for (QWidget* w : {&a, &b, &c})
        ui::setFrame(w, {20, 30, 100, 50});  // 20 from the left, 30 from the bottom
    ui::setAutoresizingMask(&a, ui::ViewWidthSizable | ui::ViewHeightSizable);  // 18
    ui::setAutoresizingMask(&b,
                            ui::ViewWidthSizable | ui::ViewMinYMargin | ui::ViewMaxYMargin);  // 42
    ui::setAutoresizingMask(&c, ui::ViewWidthSizable | ui::ViewMaxXMargin | ui::ViewHeightSizable |
                                    ui::ViewMaxYMargin);  // 54
    box.show();
    spin();
    box.resize(500, 400);
    spin();
    EXPECT_EQ(ui::frame(&a), QRectF(20, 30, 200, 150));
    const QRectF fb = ui::frame(&b);
    EXPECT_EQ(fb.width(), 200);
    EXPECT_EQ(fb.height(), 50);
    EXPECT_NEAR(fb.y(), 30 + 100.0 * 30 / (30 + 220), 1);  // the margins share the change
    const QRectF fc = ui::frame(&c);
    EXPECT_EQ(fc.x(), 20);
    EXPECT_NEAR(fc.width() + (500 - fc.right()), 100 + 280 + 100, 1);
    EXPECT_EQ(fc.y(), 30);
    // A widget with children of its own (a scroll area) keeps them whole.
    QScrollArea scroller(&box);
    ui::setFrame(&scroller, {10, 10, 100, 100});
    ui::setAutoresizingMask(&scroller, ui::ViewWidthSizable | ui::ViewHeightSizable);
    scroller.show();
    box.resize(600, 500);
    spin();
    EXPECT_EQ(ui::frame(&scroller), QRectF(10, 10, 200, 200));
    EXPECT_EQ(scroller.viewport()->parentWidget(), &scroller);
    EXPECT_GT(scroller.viewport()->height(), 100);

    // Named images with or without their extension; unknown names give nothing.
    QTemporaryDir images;
    QImage red(4, 4, QImage::Format_ARGB32);
    red.fill(Qt::red);
    red.save(images.filePath("temp_hd_pdf.png"));
    ui::ResourceRegistry::shared().addImageFolder(images.path().toStdString());
    EXPECT_EQ(ui::ResourceRegistry::shared().imageNamed("temp_hd_pdf").size(), QSize(4, 4));
    EXPECT_FALSE(ui::ResourceRegistry::shared().imageNamed("temp_hd_pdf.png").isNull());
    EXPECT_TRUE(ui::ResourceRegistry::shared().imageNamed("../temp_hd_pdf").isNull());
    EXPECT_TRUE(ui::ResourceRegistry::shared().imageNamed("missing").isNull());
    // An image is read once: cells that ask for it each time they show decode nothing more.
    QFile::remove(images.filePath("temp_hd_pdf.png"));
    EXPECT_EQ(ui::ResourceRegistry::shared().imageNamed("temp_hd_pdf").size(), QSize(4, 4));
    // It is kept as the screen draws it: opaque as RGB32, see-through premultiplied, with the
    // same colours; its pixmap is one, shared.
    EXPECT_EQ(ui::ResourceRegistry::shared().imageNamed("temp_hd_pdf").format(),
              QImage::Format_RGB32);
    EXPECT_EQ(ui::ResourceRegistry::shared().imageNamed("temp_hd_pdf").pixel(1, 1),
              qRgb(255, 0, 0));
    QImage glass(2, 1, QImage::Format_ARGB32);
    glass.setPixel(0, 0, qRgba(0, 0, 255, 255));
    glass.setPixel(1, 0, qRgba(255, 255, 255, 60));
    glass.save(images.filePath("glass.png"));
    const QImage seen = ui::ResourceRegistry::shared().imageNamed("glass");
    EXPECT_EQ(seen.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(seen.pixel(0, 0), qRgba(0, 0, 255, 255));
    EXPECT_EQ(qAlpha(seen.pixel(1, 0)), 60);
    const QPixmap shared = ui::ResourceRegistry::shared().pixmapNamed("glass.png");
    EXPECT_EQ(shared.size(), QSize(2, 1));
    EXPECT_EQ(ui::ResourceRegistry::shared().pixmapNamed("glass.png").cacheKey(),
              shared.cacheKey());
    EXPECT_TRUE(ui::ResourceRegistry::shared().pixmapNamed("missing").isNull());
    EXPECT_TRUE(ui::ResourceRegistry::shared().pixmapNamed("../glass").isNull());
    EXPECT_FALSE(ui::ResourceRegistry::shared().instantiateController("Main", "Nothing"));

    // Hover tracking and a popover next to a button.
    QWidget host;
    host.resize(200, 100);
    host.show();
    QWidget hover(&host);
    hover.setGeometry(10, 10, 50, 20);
    hover.show();
    int entered = 0, exited = 0;
    ui::TrackingArea::install(
        &hover, [&] { ++entered; }, [&] { ++exited; });
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(&hover, &enter);
    QApplication::sendEvent(&hover, &leave);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(exited, 1);
    ui::Popover popover;
    auto inside = ui::ViewController::create<ui::ViewController>();
    inside->view()->resize(120, 80);
    popover.setContentViewController(inside);
    popover.showRelativeTo(hover.rect(), &hover);
    spin();
    EXPECT_TRUE(popover.isShown());
    EXPECT_TRUE(inside->view()->isVisible());
    EXPECT_TRUE(inside->view()->window()->windowFlags() & Qt::Popup);
    popover.close();
    EXPECT_FALSE(popover.isShown());

    // A null string shows as empty text; URLs go to the replaceable opener.
    ui::TextField field;
    field.setStringValue(std::nullopt);
    EXPECT_EQ(field.text(), "");
    std::vector<std::string> opened;
    ui::UrlOpener::setHandler([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    EXPECT_TRUE(ui::UrlOpener::openUrl("https://library.example/help"));
    EXPECT_TRUE(ui::UrlOpener::openUrl("mailto:help@library.example"));
    ui::UrlOpener::setHandler(nullptr);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://library.example/help",
                                                "mailto:help@library.example"}));
}

}  // namespace

namespace {

Ref<plat::Object> screenNamed(const char* nib) {
    return ui::ViewController::create<ui::ViewController>(nib);
}

std::string madeNib(const ui::ResourceRegistry& registry, ui::ScreenName name) {
    const auto made = registry.instantiate<ui::ViewController>(name);
    return made ? made->nibName() : "none";
}

std::unique_ptr<QWidget> firstLayout(plat::Object&) {
    auto view = std::make_unique<QWidget>();
    view->setObjectName("first");
    return view;
}

std::unique_ptr<QWidget> secondLayout(plat::Object&) {
    auto view = std::make_unique<QWidget>();
    view->setObjectName("second");
    return view;
}

}  // namespace

TEST(ScreenKitTest, ANameHasOneProviderAndItsOwnRegistrationMayRunAgain) {
    ui::ResourceRegistry registry;
    constexpr ui::ScreenName kScreen{"Main", "Screen"};
    const auto provide = [&registry](const char* nib) {
        return registry.registerController(kScreen, [nib] { return screenNamed(nib); });
    };
    EXPECT_TRUE(provide("first"));
    EXPECT_TRUE(provide("first again"));  // the same registration run again stays its provider
    EXPECT_EQ(madeNib(registry, kScreen), "first again");
    EXPECT_FALSE(registry.registerController(kScreen, [] { return screenNamed("stranger"); }));
    EXPECT_EQ(madeNib(registry, kScreen), "first again");
    EXPECT_FALSE(registry.registerController("Main", "Screen", nullptr));  // nor taken away so

    // A double takes the name over on purpose and gives it back.
    registry.replaceController("Main", "Screen", [] { return screenNamed("double"); });
    EXPECT_EQ(madeNib(registry, kScreen), "double");
    registry.removeController("Main", "Screen");
    EXPECT_EQ(madeNib(registry, kScreen), "none");
    EXPECT_TRUE(registry.registerController(kScreen, [] { return screenNamed("later"); }));
    EXPECT_EQ(madeNib(registry, kScreen), "later");

    // Nibs: a builder function is its own provider; another function is refused.
    plat::Object owner;
    EXPECT_TRUE(registry.registerNib("Layout", firstLayout));
    EXPECT_TRUE(registry.registerNib("Layout", firstLayout));
    EXPECT_FALSE(registry.registerNib("Layout", secondLayout));
    EXPECT_EQ(registry.loadNib("Layout", owner)->objectName(), "first");
    registry.replaceNib("Layout", secondLayout);
    EXPECT_EQ(registry.loadNib("Layout", owner)->objectName(), "second");
}
