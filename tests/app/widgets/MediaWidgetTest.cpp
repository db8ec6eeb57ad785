// The video and audio widgets: their descriptions, presses whose file does not resolve, and (one
// case starting the media backend) the demo clip in the page, two popup windows watched each on
// its own, and the audio button's three presses with its icons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTest>
#include <QVideoSink>

#include "app/issueui/IssueUITestSupport.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetFactory.h"
#include "app/services/AreaSeams.h"
#include "app/services/GlobalService.h"
#include "app/services/MainWindow.h"
#include "app/shell/ShellSeams.h"
#include "app/widgets/AudioPlayerWidget.h"
#include "app/widgets/MediaSupport.h"
#include "app/widgets/PopupVideoButton.h"
#include "app/widgets/VideoAsset.h"
#include "app/widgets/WidgetKinds.h"
#include "demo-service/DemoMedia.h"
#include "platform/image/Image.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/WindowController.h"
#include "platform_ui/media/MediaPlayer.h"
#include "support/CapturedLog.h"
#include "support/GuiTestSupport.h"

using namespace issueui_test;
using testing_support::loggedAnywhere;
using testing_support::spinUntil;

namespace {

constexpr int kPatience = 20000;  // generous: CI may be slow and busy

plat::Bytes bytesOf(const std::string& text) {
    return plat::Bytes(text.begin(), text.end());
}

bool sameImage(const Ref<plat::Image>& a, const Ref<plat::Image>& b) {
    return a && b && a->qimage() == b->qimage();
}

QWidget* widgetOf(const Ref<WidgetView>& view) {
    auto qt = std::dynamic_pointer_cast<QtWidgetView>(view);
    return qt ? qt->widget() : nullptr;
}

bool anyLineHas(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

class MediaWidgetTest : public IssueUITest {
  protected:
    void SetUp() override {
        IssueUITest::SetUp();
        WidgetFactory::unregisterAllWidgetClasses();
        WidgetViewFactory::removeAllMakers();
        registerWidgetKinds();
        QtWidgetView::installPlainViewMaker();
        ui::ResourceRegistry::shared().addImageFolder(VARNEL_SOURCE_IMAGES_DIR);
        issue = makeIssue("MW-0001", "Magazine", {{0, 0}});
        for (const char* id : {"clip.y4m", "tone.wav"})
            cacheInteractiveFile(issue, 0, id, bytesOf(*demo::demoInteractiveMedia(id)));
        manager = std::make_shared<WidgetAssetManager>(issue->pageContextWithSourcePageIndex(0));
        host.resize(800, 600);
        host.show();
        hostView = QtWidgetView::borrowing(&host);
    }
    void TearDown() override {
        WidgetViewFactory::removeAllMakers();
        WidgetFactory::unregisterAllWidgetClasses();
        IssueUITest::TearDown();
    }

    template <class T>
    Ref<T> build(Entries keys, const Ref<WidgetAssetManager>& assets) {
        return std::dynamic_pointer_cast<T>(
            WidgetFactory::widgetWithDictionary(dict(std::move(keys)), assets));
    }
    template <class T>
    Ref<T> build(Entries keys) {
        return build<T>(std::move(keys), manager);
    }
    // Places the widget as the reader does: its own view, then its button last. Answers the
    // button's view.
    Ref<WidgetView> placeAsTheReaderDoes(const Ref<VisibleWidget>& widget) {
        widget->setAttachedView(hostView);
        if (auto view = widget->newWidgetView(widget->frame()))
            hostView->addSubview(view);
        auto buttonView = widget->button()->newWidgetView(widget->button()->frame());
        hostView->addSubview(buttonView);
        return buttonView;
    }
    static void click(const Ref<WidgetView>& view) {
        QWidget* widget = widgetOf(view);
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5));
    }
    static Ref<WidgetView> buttonViewOf(const Ref<VisibleWidget>& widget) {
        return widget->button() ? widget->button()->widgetView() : nullptr;
    }
    // Whether the picture shows one of the clip's colours at that point.
    static bool showsClipColour(const QImage& shot, QPoint at) {
        const QColor seen(shot.pixel(at));
        for (int frame = 0; frame < demo::kDemoClipFrames; ++frame) {
            const auto c = demo::demoClipColour(frame);
            if (std::abs(seen.red() - c.red) < 48 && std::abs(seen.green() - c.green) < 48 &&
                std::abs(seen.blue() - c.blue) < 48)
                return true;
        }
        return false;
    }

    Ref<VnMagazineIssueContext> issue;
    Ref<WidgetAssetManager> manager;
    QWidget host;
    Ref<QtWidgetView> hostView;
};

TEST_F(MediaWidgetTest, DescriptionsReadinessAndPressesWithoutAFile) {
    // The embedded video: "VideoFrame" when given, else (absent or empty) the widget's "Frame";
    // the button covers "Frame".
    auto framed = build<VideoAsset>({{"WidgetType", "EmbeddedVideo"},
                                     {"Frame", "{{10,20},{100,50}}"},
                                     {"Id", "clip.y4m"},
                                     {"VideoFrame", "{{0,0},{320,240}}"},
                                     {"Repeat", yes()}});
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->frame(), QRectF(0, 0, 320, 240));
    EXPECT_EQ(framed->button()->frame(), QRectF(10, 20, 100, 50));
    EXPECT_TRUE(framed->repeats());
    EXPECT_TRUE(framed->isReadyForDisplay());
    EXPECT_EQ(framed->requiredInteractiveFileIds(), std::vector<std::string>{"clip.y4m"});
    for (const char* videoFrame : {"", "{{5,5},{0,40}}"}) {
        Entries keys{{"WidgetType", "EmbeddedVideo"}, {"Frame", "{{10,20},{100,50}}"}, {"Id", "x"}};
        if (*videoFrame)
            keys.emplace_back("VideoFrame", videoFrame);
        auto fallback = build<VideoAsset>(std::move(keys));
        EXPECT_EQ(fallback->frame(), QRectF(10, 20, 100, 50)) << videoFrame;
        EXPECT_FALSE(fallback->repeats());
        EXPECT_FALSE(fallback->isReadyForDisplay());
    }
    // Made in code: the file and the rectangle, which frames both the widget and the video.
    auto made = VideoAsset::initWithFileName("clip.y4m", QRectF(5, 6, 70, 80));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->videoFileName(), "clip.y4m");
    EXPECT_EQ(made->OverlayData::frame(), QRectF(5, 6, 70, 80));
    EXPECT_EQ(made->frame(), QRectF(5, 6, 70, 80));
    EXPECT_FALSE(made->repeats());
    EXPECT_EQ(made->requiredInteractiveFileIds(), std::vector<std::string>{"clip.y4m"});
    EXPECT_FALSE(made->isReadyForDisplay());  // no page files to look in yet
    made->setAssetManager(manager);
    EXPECT_TRUE(made->isReadyForDisplay());

    // Placed as the reader does: a player view with its control bar and full-screen toggle, no
    // player until a press; attaching does nothing.
    framed->attachToView(hostView, QTransform::fromScale(2, 2));
    EXPECT_FALSE(framed->widgetView());
    placeAsTheReaderDoes(framed);
    auto playerView = std::dynamic_pointer_cast<PlayerWidgetView>(framed->playerView());
    ASSERT_TRUE(playerView);
    ASSERT_TRUE(playerView->playerView());
    EXPECT_FALSE(playerView->playerView()->mediaPlayer());
    EXPECT_TRUE(playerView->playerView()->controlBar());
    auto* fullScreen = playerView->playerView()->fullScreenButton();
    ASSERT_TRUE(fullScreen);
    // Its icon is drawn by the program (no font has a glyph for it): dark strokes, no text.
    EXPECT_TRUE(fullScreen->text().isEmpty());
    const QImage icon = fullScreen->icon().pixmap(16, 16).toImage();
    int strokes = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            strokes += QColor::fromRgba(icon.pixel(x, y)).alpha() > 128 ? 1 : 0;
    EXPECT_GT(strokes, 20);
    EXPECT_LT(strokes, 16 * 16 / 2);
    EXPECT_EQ(playerView->frame(), QRectF(0, 0, 320, 240));

    // The audio player: the file asked anew each time; without a name, "" and never ready.
    auto audio = build<AudioPlayerWidget>({{"WidgetType", "AudioPlayer"},
                                           {"Frame", "{{0,0},{40,40}}"},
                                           {"AudioFileName", "late.wav"}});
    ASSERT_TRUE(audio);
    EXPECT_FALSE(audio->isReadyForDisplay());
    cacheInteractiveFile(issue, 0, "late.wav", bytesOf("RIFF"));
    EXPECT_TRUE(audio->isReadyForDisplay());
    auto nameless = build<AudioPlayerWidget>({{"WidgetType", "AudioPlayer"}});
    EXPECT_EQ(nameless->audioFileName(), "");
    EXPECT_FALSE(nameless->isReadyForDisplay());

    // Presses whose file does not resolve change nothing and are logged, whatever the kind.
    auto lost = build<AudioPlayerWidget>({{"WidgetType", "AudioPlayer"},
                                          {"Frame", "{{0,0},{40,40}}"},
                                          {"AudioFileName", "lost.wav"}});
    lost->attachToView(hostView, QTransform::fromScale(2, 2));
    const auto videoIcon = mediaButtonIcon("widgeticon_video");
    ASSERT_TRUE(videoIcon);
    EXPECT_TRUE(sameImage(lost->button()->icon(), videoIcon));
    auto popup = build<PopupVideoButton>({{"WidgetType", "PopupVideoButton"},
                                          {"Frame", "{{0,0},{40,40}}"},
                                          {"VideoFileName", "no"}});
    auto embedded = build<VideoAsset>(
        {{"WidgetType", "EmbeddedVideo"}, {"Frame", "{{0,0},{40,40}}"}, {"Id", "nowhere.y4m"}});
    const auto lines = loggedAnywhere([&] {
        lost->button()->invokeButtonAction();
        popup->button()->invokeButtonAction();
        embedded->button()->invokeButtonAction();
    });
    EXPECT_FALSE(lost->player());
    EXPECT_TRUE(sameImage(lost->button()->icon(), videoIcon));
    EXPECT_EQ(popup->popupCount(), 0U);
    EXPECT_FALSE(embedded->player());
    for (const char* id : {"lost.wav", "\"no\"", "nowhere.y4m"})
        EXPECT_TRUE(anyLineHas(lines, id)) << id;
    lost->detachFromView();
    framed->detachFromView();
}

TEST_F(MediaWidgetTest, WhereNothingCanPlayAPressOpensNothingAndSaysWhyOnce) {
    ui::MediaPlayer::setPlayersWithoutBackend(true);
    auto embedded = build<VideoAsset>(
        {{"WidgetType", "EmbeddedVideo"}, {"Frame", "{{10,10},{160,150}}"}, {"Id", "clip.y4m"}});
    placeAsTheReaderDoes(embedded);
    auto popup = build<PopupVideoButton>({{"WidgetType", "PopupVideoButton"},
                                          {"Frame", "{{10,200},{40,40}}"},
                                          {"VideoFileName", "clip.y4m"}});
    popup->attachToView(hostView, QTransform::fromScale(2, 2));
    const auto windows = QApplication::topLevelWidgets().size();
    const auto lines = loggedAnywhere([&] {
        embedded->button()->invokeButtonAction();
        popup->button()->invokeButtonAction();
    });
    ui::MediaPlayer::setPlayersWithoutBackend(false);
    EXPECT_FALSE(embedded->player());
    EXPECT_EQ(popup->popupCount(), 0U);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows) << "no empty window";
    size_t said = 0;
    for (const auto& line : lines)
        said += line.find("clip.y4m") != std::string::npos;
    EXPECT_EQ(said, 2U) << "once for each press";
    embedded->detachFromView();
    popup->detachFromView();
}

TEST_F(MediaWidgetTest, TheClipPlaysInThePageAndInPopupWindowsAndTheToneToggles) {
    // ---- In the page: the clip shows its colours, pauses when inactive, restarts on a press.
    auto video = build<VideoAsset>(
        {{"WidgetType", "EmbeddedVideo"}, {"Frame", "{{10,10},{160,150}}"}, {"Id", "clip.y4m"}});
    auto looping = build<VideoAsset>({{"WidgetType", "EmbeddedVideo"},
                                      {"Frame", "{{200,10},{160,150}}"},
                                      {"Id", "clip.y4m"},
                                      {"Repeat", yes()}});
    auto ending = build<AudioPlayerWidget>({{"WidgetType", "AudioPlayer"},
                                            {"Frame", "{{150,200},{40,40}}"},
                                            {"AudioFileName", "clip.y4m"}});
    ending->attachToView(hostView, QTransform::fromScale(2, 2));
    const auto buttonView = placeAsTheReaderDoes(video);
    placeAsTheReaderDoes(looping);
    click(buttonView);
    looping->button()->invokeButtonAction();
    ending->button()->invokeButtonAction();
    // Without a sound device a sound never ends; the clip, which ends by itself once its picture
    // goes somewhere (given before it starts again), stands for one.
    QVideoSink sink;
    ASSERT_TRUE(ending->player());
    ending->player()->player().setVideoOutput(&sink);
    ending->player()->player().stop();
    ending->player()->play();
    ASSERT_TRUE(video->player());
    EXPECT_TRUE(video->player()->isPlaying());
    QWidget* picture = widgetOf(video->playerView());
    ASSERT_TRUE(picture);
    // The player lies above the button, so its control bar answers.
    EXPECT_GT(host.children().indexOf(picture), host.children().indexOf(widgetOf(buttonView)));
    auto* view = std::static_pointer_cast<PlayerWidgetView>(video->playerView())->playerView();
    ASSERT_TRUE(spinUntil([&] { return view->framesShown() >= 3; }, kPatience));
    EXPECT_TRUE(showsClipColour(picture->grab().toImage(), QPoint(80, 40)));

    video->didBecomeInactive();
    EXPECT_FALSE(video->player()->isPlaying());
    const QPointer<QObject> first = video->player();
    video->button()->invokeButtonAction();
    EXPECT_FALSE(first);  // a new player, from the beginning
    ASSERT_TRUE(video->player());
    EXPECT_TRUE(video->player()->isPlaying());
    EXPECT_LT(video->player()->player().position(), 1000);

    // ---- Two popup windows, each watched on its own, each with the main window's frame.
    const auto mainWindow = std::make_shared<ui::WindowController>();
    mainWindow->window()->setGeometry(40, 50, 720, 520);
    GlobalService::globalShared()->setWindowController(mainWindow);
    AreaSeams::shared().replace<MainWindow>(makeMainWindow(), "shell");
    auto popup = build<PopupVideoButton>({{"WidgetType", "PopupVideoButton"},
                                          {"Frame", "{{10,200},{40,40}}"},
                                          {"VideoFileName", "clip.y4m"}});
    popup->attachToView(hostView, QTransform::fromScale(2, 2));
    EXPECT_FALSE(popup->widgetView());
    click(buttonViewOf(popup));
    ASSERT_EQ(popup->popupCount(), 1U);
    const QPointer<ui::MediaPlayer> a = popup->popupPlayer(0);
    ASSERT_TRUE(spinUntil([&] { return a->player().position() > 200; }, kPatience));
    popup->button()->invokeButtonAction();
    ASSERT_EQ(popup->popupCount(), 2U);
    const QPointer<QWidget> windowA = popup->popupWindow(0);
    const QPointer<QWidget> windowB = popup->popupWindow(1);
    const QPointer<ui::MediaPlayer> b = popup->popupPlayer(1);
    ASSERT_TRUE(windowA && windowB);
    EXPECT_NE(windowA, windowB);
    EXPECT_EQ(windowB->geometry(), QRect(40, 50, 720, 520));
    EXPECT_NE(windowB->geometry(), host.window()->geometry());
    EXPECT_TRUE(windowA->isVisible() && windowB->isVisible());
    EXPECT_EQ(popup->observationCount(), 4U);

    // Closing the second window pauses its player only.
    windowB->close();
    EXPECT_FALSE(b->isPlaying());
    EXPECT_TRUE(a->isPlaying());
    EXPECT_EQ(popup->observationCount(), 2U);

    // A third press lets the closed window go; the end of the first video closes the first
    // window only.
    popup->button()->invokeButtonAction();
    ASSERT_EQ(popup->popupCount(), 2U);
    EXPECT_FALSE(b);
    const QPointer<QWidget> windowC = popup->popupWindow(1);
    const QPointer<ui::MediaPlayer> c = popup->popupPlayer(1);
    ASSERT_TRUE(spinUntil([&] { return !windowA->isVisible(); }, kPatience));
    EXPECT_TRUE(windowC->isVisible());
    EXPECT_TRUE(c->isPlaying());
    EXPECT_EQ(popup->observationCount(), 2U);

    // The widget going with a window open stops its player and closes its window; no
    // observation of it is left to answer a later closing.
    popup->detachFromView();
    popup.reset();
    EXPECT_FALSE(c);
    EXPECT_TRUE(!windowC || !windowC->isVisible());
    plat::NotificationCenter::defaultCenter().postNotificationName(
        ui::kWindowWillCloseNotification);
    GlobalService::releaseShared();

    // ---- The looping clip started over while the other played on.
    ASSERT_TRUE(spinUntil([&] { return looping->player()->completedLoops() >= 1; }, kPatience));
    EXPECT_TRUE(looping->player()->isPlaying());

    // ---- The tone: play, stop, play, each press with its icon.
    auto audio = build<AudioPlayerWidget>({{"WidgetType", "AudioPlayer"},
                                           {"Frame", "{{100,200},{40,40}}"},
                                           {"AudioFileName", "tone.wav"}});
    audio->attachToView(hostView, QTransform::fromScale(2, 2));
    const auto videoIcon = mediaButtonIcon("widgeticon_video");
    const auto stopIcon = mediaButtonIcon("widgeticon_video_stop");
    ASSERT_TRUE(videoIcon && stopIcon);
    EXPECT_TRUE(sameImage(audio->button()->icon(), videoIcon));
    click(buttonViewOf(audio));
    ASSERT_TRUE(audio->player());
    EXPECT_TRUE(audio->player()->isPlaying());  // with or without a sound device
    EXPECT_TRUE(sameImage(audio->button()->icon(), stopIcon));
    click(buttonViewOf(audio));
    EXPECT_FALSE(audio->player());
    EXPECT_TRUE(sameImage(audio->button()->icon(), videoIcon));
    click(buttonViewOf(audio));
    ASSERT_TRUE(audio->player());
    EXPECT_TRUE(audio->player()->isPlaying());
    EXPECT_LT(audio->player()->player().position(), 1000);

    // Its end changes nothing: the stop icon stays, and the next press only stops.
    ASSERT_TRUE(spinUntil([&] { return !ending->player()->isPlaying(); }, kPatience));
    EXPECT_TRUE(sameImage(ending->button()->icon(), stopIcon));
    click(buttonViewOf(ending));
    EXPECT_FALSE(ending->player());
    EXPECT_TRUE(sameImage(ending->button()->icon(), videoIcon));

    // Becoming inactive stops the playing tone.
    ASSERT_TRUE(audio->player());
    audio->didBecomeInactive();
    EXPECT_FALSE(audio->player());
    EXPECT_TRUE(sameImage(audio->button()->icon(), videoIcon));

    // Widgets going while they play stop their own players, whoever holds their views.
    click(buttonViewOf(audio));
    const QPointer<ui::MediaPlayer> tone = audio->player();
    const QPointer<ui::MediaPlayer> loop = looping->player();
    ASSERT_TRUE(tone && loop);
    EXPECT_TRUE(loop->isPlaying());
    audio.reset();
    looping.reset();
    EXPECT_FALSE(tone);
    EXPECT_FALSE(loop);
    testing_support::spin(50);
    ending->detachFromView();
    video->detachFromView();
}

}  // namespace
