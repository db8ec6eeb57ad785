// The demo's showcase issue downloaded by its real issue context: every widget kind built from
// the files it names, each file as served, each widget ready and attached to a page view; and
// the hostile media variant: refused widgets skipped, unsafe links not opened, media the player
// cannot read logged without a crash (the one case here that starts the media backend).
#include <QMediaPlayer>

#include "ShowcaseTestSupport.h"
#include "app/issueui/IssueUITestSupport.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetFactory.h"
#include "app/widgets/AudioPlayerWidget.h"
#include "app/widgets/MediaSupport.h"
#include "app/widgets/PopupVideoButton.h"
#include "app/widgets/VideoAsset.h"
#include "demo-service/DemoContent.h"
#include "platform/core/Log.h"
#include "platform_ui/UrlOpener.h"
#include "platform_ui/media/MediaPlayer.h"

using namespace showcase_testing;

namespace {

// Every widget of the tree, children first met first.
void collect(const Ref<OverlayData>& widget, std::vector<Ref<OverlayData>>& all) {
    all.push_back(widget);
    if (auto visible = std::dynamic_pointer_cast<VisibleWidget>(widget)) {
        for (const auto& sub : visible->subwidgets())
            collect(sub, all);
        for (const auto& attached : visible->attachedWidgets())
            collect(attached, all);
    }
}

std::string className(const Ref<OverlayData>& widget) {
    if (auto standIn = std::dynamic_pointer_cast<issueui_test::StandInWidget>(widget))
        return standIn->standsFor;
    return widget->className();
}

// Log lines written from now on, while it lives.
class LogRecorder {
  public:
    LogRecorder() {
        const auto keep = [this](std::string_view line) { lines.emplace_back(line); };
        previous_ = plat::setLogSink(keep);
        previousSystem_ = plat::setSystemLogSink(keep);
    }
    ~LogRecorder() {
        plat::setSystemLogSink(previousSystem_);
        plat::setLogSink(previous_);
    }
    bool has(const std::string& a, const std::string& b) const {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
        });
    }
    std::vector<std::string> lines;

  private:
    plat::LogSink previous_;
    plat::LogSink previousSystem_;
};

class WidgetShowcaseTest : public ShowcaseTest {
  protected:
    void SetUp() override {
        ShowcaseTest::SetUp();
        // Kinds of the program that are not registered (yet) are stood in for.
        for (const auto& [type, cls] : WidgetFactory::newClassMapDictionary()) {
            if (!WidgetFactory::isWidgetClassRegistered(cls))
                WidgetFactory::registerWidgetClass<issueui_test::StandInWidget>(cls);
        }
        host.resize(1200, 1700);
        host.show();
        hostView = QtWidgetView::borrowing(&host);
    }
    static std::string served(const std::string& code, const std::string& fileId) {
        auto content = demo::demoContent(demo::demoContentPath(code, "INTERACTIVE", "JPG", fileId));
        return content ? content->first : std::string("<none>");
    }
    // The downloaded file of the page as bytes.
    static std::string file(const Ref<MagazinePageUIContext>& page, const std::string& id) {
        auto asset = page->pageContext()->interactiveAssetWithId(id);
        if (!asset)
            return "<missing>";
        const auto bytes = asset->data();
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
    }

    QWidget host;
    Ref<QtWidgetView> hostView;
};

TEST_F(WidgetShowcaseTest, EveryKindIsBuiltReadyAndAttachedFromTheFilesAsServed) {
    auto ui = download("MG01-2403");
    std::set<std::string> kinds;
    for (int index = 1; index <= 5; ++index) {
        auto page = ui->pageContextAtSourceIndex(index);
        ASSERT_TRUE(page) << index;
        const auto ids = page->pageContext()->interactiveFileIds();
        for (const auto& id : ids)
            EXPECT_EQ(file(page, id), served("MG01-2403", id)) << id;
        auto root = page->rootWidget();
        ASSERT_TRUE(root) << index;
        std::vector<Ref<OverlayData>> all;
        for (const auto& widget : root->subwidgets())
            collect(widget, all);
        for (const auto& widget : all) {
            kinds.insert(className(widget));
            EXPECT_TRUE(widget->isReadyForDisplay()) << index << " " << className(widget);
        }
        // The generic road at scale 2: each visible widget takes the page view, with its button.
        for (const auto& widget : root->subwidgets()) {
            auto visible = std::dynamic_pointer_cast<VisibleWidget>(widget);
            if (!visible)
                continue;
            visible->attachToView(hostView, QTransform::fromScale(2, 2));
            if (auto video = std::dynamic_pointer_cast<VideoAsset>(visible)) {
                // The reader places the embedded player itself.
                EXPECT_FALSE(video->attachedView());
                EXPECT_TRUE(std::dynamic_pointer_cast<PlayerWidgetView>(
                    video->newWidgetView(video->frame())));
                continue;
            }
            EXPECT_EQ(visible->attachedView(), hostView) << className(visible);
            if (visible->hasButton() && visible->button()) {
                EXPECT_TRUE(visible->button()->widgetView()) << className(visible);
            }
        }
        for (const auto& widget : root->subwidgets())
            widget->detachFromView();
    }
    // The media files are what they say: a video, a tone, pictures of their size.
    EXPECT_EQ(served("MG01-2403", "clip.y4m").rfind("YUV4MPEG2 W160 H120 F10:1", 0), 0U);
    EXPECT_EQ(served("MG01-2403", "tone.wav").size(), 44U + 22050 * 2);
    const QImage photo =
        QImage::fromData(QByteArray::fromStdString(served("MG01-2403", "photo_1000x500")));
    EXPECT_EQ(photo.size(), QSize(1000, 500));
    for (const auto& [type, cls] : WidgetFactory::newClassMapDictionary())
        EXPECT_TRUE(kinds.count(cls)) << cls;
}

TEST_F(WidgetShowcaseTest, HostileMediaIsSkippedRefusedOrLoggedWithoutACrash) {
    demo.catalogue.setContentVariant("MG02-2402", demo::ContentVariant::HostileMedia);
    std::vector<std::string> opened;
    ui::UrlOpener::setHandler([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    auto ui = download("MG02-2402");
    auto page = ui->pageContextAtSourceIndex(1);
    ASSERT_TRUE(page);
    const std::set<std::string> media{"hostile_noise.y4m", "hostile_noise.mp4", "hostile_cut.wav",
                                      "hostile_noise.wav"};
    EXPECT_EQ(page->pageContext()->interactiveFileIds(), media);
    for (const auto& id : media)
        EXPECT_EQ(file(page, id), served("MG02-2402", id)) << id;
    EXPECT_EQ(file(page, "hostile_cut.wav").size(), 44U);

    // The two 360 views of a pattern holding "%@%s%n" are refused; the rest is built.
    auto root = page->rootWidget();
    ASSERT_TRUE(root);
    std::vector<std::string> built;
    for (const auto& widget : root->subwidgets())
        built.push_back(className(widget));
    EXPECT_EQ(built, (std::vector<std::string>{
                         "VideoAsset", "PopupVideoButton", "AudioPlayerWidget", "AudioPlayerWidget",
                         "UrlLinkWidget", "UrlLinkWidget", "UrlLinkWidget", "EmailLinkWidget"}));

    LogRecorder log;
    for (const auto& widget : root->subwidgets())
        std::static_pointer_cast<VisibleWidget>(widget)->attachToView(hostView, QTransform());
    auto video = std::static_pointer_cast<VideoAsset>(root->subwidgets()[0]);
    video->setAttachedView(hostView);
    hostView->addSubview(video->newWidgetView(video->frame()));
    for (const auto& widget : root->subwidgets()) {
        auto visible = std::static_pointer_cast<VisibleWidget>(widget);
        ASSERT_TRUE(visible->button());
        visible->button()->invokeButtonAction();
    }

    // Only the mail link opens, each part escaped whole.
    ASSERT_EQ(opened.size(), 1U);
    EXPECT_EQ(opened[0],
              "mailto:a%26b%3Dc%3Fd%23e@example.com?SUBJECT=x%26y%3Dz%3Fw%23v&BODY=1%262%"
              "3D3%3F4%235");
    EXPECT_TRUE(log.has("\"file\"", "not opened"));

    // Broken media are logged and never waited on; nothing crashes.
    auto popup = std::static_pointer_cast<PopupVideoButton>(root->subwidgets()[1]);
    auto noise = std::static_pointer_cast<AudioPlayerWidget>(root->subwidgets()[3]);
    auto cut = std::static_pointer_cast<AudioPlayerWidget>(root->subwidgets()[2]);
    ASSERT_TRUE(video->player() && popup->popupPlayer(0) && noise->player() && cut->player());
    EXPECT_TRUE(spinUntil(
        [&] {
            return video->player()->hasFailed() && popup->popupPlayer(0)->hasFailed() &&
                   noise->player()->hasFailed();
        },
        20000));
    for (const char* id : {"hostile_noise.y4m", "hostile_noise.mp4", "hostile_noise.wav"})
        EXPECT_TRUE(log.has(id, "cannot be played")) << id;
    EXPECT_FALSE(video->player()->isPlaying());
    testing_support::spin(100);
    for (const auto& widget : root->subwidgets())
        widget->detachFromView();
    ui::UrlOpener::setHandler(nullptr);
}

}  // namespace
