// Journeys through the page widgets of an issue in the reader: the demo's showcase issue, whose
// widgets show and act there as they do on their own, and an issue of hostile widget
// descriptions, whose widgets stay on their pages.
#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>

#include "JourneySupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/reader/ReaderViewController.h"
#include "app/reader/ReaderWindowController.h"
#include "app/services/GlobalService.h"
#include "app/widgets/ImageListScroller.h"
#include "app/widgets/ImageRotationView.h"
#include "app/widgets/ImageScrollWidget.h"
#include "app/widgets/ImageView360Widget.h"
#include "app/widgets/MediaSupport.h"
#include "app/widgets/SlideshowButton.h"
#include "app/widgets/UrlLinkWidget.h"
#include "app/widgets/VideoAsset.h"
#include "platform/core/Log.h"
#include "platform/image/Image.h"
#include "platform_ui/UrlOpener.h"
#include "platform_ui/media/MediaPlayer.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";

// The reader the program shows (its controller), looked at but never driven.
Ref<ReaderViewController> shownReader() {
    const auto window = std::dynamic_pointer_cast<ReaderWindowController>(
        GlobalService::globalShared()->readerViewController());
    return window ? window->readerViewController() : nullptr;
}

QWidget* qtOf(const Ref<WidgetView>& view) {
    const auto qt = std::dynamic_pointer_cast<QtWidgetView>(view);
    return qt ? qt->widget() : nullptr;
}

// The top-level widgets of a page of the issue shown, of a kind.
template <class T>
std::vector<Ref<T>> widgetsOfPage(int index) {
    std::vector<Ref<T>> found;
    const auto reader = shownReader();
    const auto page = reader && reader->uiContext()
                          ? reader->uiContext()->pageContextAtSourceIndex(index)
                          : nullptr;
    const auto root = page ? page->rootWidget() : nullptr;
    if (!root)
        return found;
    for (const auto& widget : root->subwidgets())
        if (auto typed = std::dynamic_pointer_cast<T>(widget))
            found.push_back(typed);
    return found;
}

bool near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Whether the window's picture shows the button's icon where its icon button lies: most of the
// icon's opaque pixels are seen there.
bool showsIcon(QWidget* window, const Ref<WidgetActionButton>& button, std::string& why) {
    const auto& icon = button->icon();
    QWidget* iconWidget = qtOf(button->iconButton());
    if (!icon || !iconWidget || !showing(iconWidget)) {
        why = "no icon shows";
        return false;
    }
    const QImage shot = window->grab().toImage();
    const QImage picture =
        icon->qimage().scaled(iconWidget->size()).convertToFormat(QImage::Format_ARGB32);
    const QPoint origin = iconWidget->mapTo(window, QPoint());
    int opaque = 0, seen = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            if (colour.alpha() < 250)
                continue;
            ++opaque;
            const QPoint at = origin + QPoint(x, y);
            if (shot.rect().contains(at) && near(shot.pixelColor(at), colour, 40))
                ++seen;
        }
    }
    why = std::to_string(seen) + " of " + std::to_string(opaque) + " icon pixels seen";
    return opaque > 0 && seen * 10 >= opaque * 8;
}

// The showcase issue on eight pages, so that it arrives whole quickly.
void shortenShowcase() {
    auto& catalogue = DemoLibrary::shared().catalogue();
    demo::SampleItem item = *catalogue.findItem("MG01-2403");
    item.pageCount = 8;
    ASSERT_TRUE(catalogue.withdrawItem("MG01-2403"));
    ASSERT_TRUE(catalogue.addItem(item));
}

// The shown reader once every page of its issue and its widgets' files have arrived; null when
// no reader shows or the issue does not arrive whole.
Ref<ReaderViewController> wholeIssueReader() {
    const auto reader = shownReader();
    // Downloaded, and every page shown from its own file (a page's widgets placed over its
    // stand-in go and come again over the page when it replaces the stand-in).
    const auto whole = [&] {
        const auto& ui = reader->uiContext();
        const auto& document = reader->mainDocument();
        if (!ui || !ui->allPresentationPagesAvailable() ||
            ui->context()->interactiveDownloading() || !document)
            return false;
        for (int i = 0; i < document->pageCount(); ++i) {
            if (document->pageAtIndex(i)->isImagePage())
                return false;
        }
        return true;
    };
    return reader && waitFor(whole, 60000) ? reader : nullptr;
}

// Requests of either service that name the code in their body or query.
size_t requestsNaming(const std::string& code) {
    size_t count = 0;
    for (const auto* service :
         {DemoLibrary::shared().service.get(), DemoLibrary::shared().store.get()}) {
        if (!service)
            continue;
        for (const auto& request : service->requests())
            count += request.body.find(code) != std::string::npos ||
                     request.query.find(code) != std::string::npos;
    }
    return count;
}

}  // namespace

// The showcase issue borrowed and read: on each widget page the buttons show their icons at their
// frames, the 360-degree view turns after it becomes active, the picture scroller fits its
// pictures and shows its hint, a link of the program's own scheme is handed to the system as every
// link is (and the program loads nothing for it); zooming in scales the scroller's pictures.
TEST_F(JourneyTest, ReaderWidgetsShowAndActAsOnTheirOwn) {
    ASSERT_NO_FATAL_FAILURE(shortenShowcase());
    ASSERT_NO_FATAL_FAILURE(borrowMagazineAs(kNok, "สุขภาพดี"));
    QWidget* window = readerWindow();
    const auto reader = wholeIssueReader();
    ASSERT_TRUE(reader) << "the issue arrives";
    const auto next = [&] { click(byText<QAbstractButton>("Next", false, window)); };
    const auto placed = [&](std::vector<int> pages) {
        return waitFor([&] { return reader->placedPages() == pages; }, 30000);
    };

    // ---- Links and pictures.
    next();
    ASSERT_TRUE(placed({1, 2}));
    Ref<ImageScrollWidget> scroller;
    ASSERT_TRUE(waitFor([&] {
        const auto scrollers = widgetsOfPage<ImageScrollWidget>(2);
        scroller = scrollers.size() == 1 ? scrollers.front() : nullptr;
        return scroller && scroller->widgetView() && scroller->documentView() &&
               scroller->documentView()->subviews().size() == 3;
    })) << "the scroller's own view shows its three pictures";
    const auto pictures = scroller->documentView()->subviews();
    // Fitted across, its pictures one under the other at the page's scale.
    const QRectF bounds = scroller->widgetView()->bounds();
    EXPECT_NEAR(scroller->documentView()->frame().width(), bounds.width() - 1, 1);
    EXPECT_NEAR(pictures[0]->frame().width(), bounds.width(), 2);
    EXPECT_NEAR(pictures[1]->frame().top(), pictures[0]->frame().bottom(), 1);
    EXPECT_GT(scroller->documentView()->frame().height(), bounds.height());
    ASSERT_TRUE(scroller->scrollableIndicator()) << "the hint shows until the first scroll";
    EXPECT_TRUE(showing(qtOf(scroller->scrollableIndicator())));

    // The program's own link is handed to the system, as every link of a page is; the program
    // itself loads nothing for it.
    Ref<UrlLinkWidget> ownLink;
    for (const auto& link : widgetsOfPage<UrlLinkWidget>(1))
        if (link->urlPath() && link->urlPath()->rfind("varnel", 0) == 0)
            ownLink = link;
    ASSERT_TRUE(ownLink);
    ASSERT_TRUE(ownLink->button());
    std::vector<std::string> opened;
    ui::UrlOpener::setHandler([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    const size_t before = requestsNaming("MG01-2403");
    click(qtOf(ownLink->button()->widgetView()));
    ui::UrlOpener::setHandler(nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{*ownLink->urlPath()});
    EXPECT_EQ(requestsNaming("MG01-2403"), before);
    // The click leaves the keys with the page view, as a click on a link of a page does, so
    // that the arrows still turn the pages.
    EXPECT_EQ(window->focusWidget(), reader->pdfView());

    // Zoomed in, the scroller's pictures grow with the page.
    const double pictureWidth = pictures[0]->frame().width();
    click(byText<QAbstractButton>("+", false, window));
    EXPECT_TRUE(waitFor([&] { return pictures[0]->frame().width() > pictureWidth * 1.3; }))
        << pictures[0]->frame().width() << " after " << pictureWidth;
    click(byText<QAbstractButton>("Fit", false, window));
    ASSERT_TRUE(placed({1, 2}));

    // ---- Turning and sliding pictures, video and sound.
    next();
    ASSERT_TRUE(placed({3, 4}));
    const auto spins = widgetsOfPage<ImageView360Widget>(3);
    ASSERT_EQ(spins.size(), 1U);
    QWidget* spinView = qtOf(spins.front()->widgetView());
    ASSERT_TRUE(spinView) << "the view placed is the 360-degree view's own";
    // Activated with its page, it turns for a second: its pictures change meanwhile.
    const QImage first = spinView->grab().toImage();
    bool turned = false;
    waitFor([&] { return (turned = spinView->grab().toImage() != first); },
            testing_support::memberWait(2000));
    EXPECT_TRUE(turned) << "the 360-degree view turns";
    auto& rotation = static_cast<ImageRotationView&>(*spins.front()->widgetView());
    ASSERT_TRUE(waitFor([&] { return !rotation.isAnimating(); })) << "the turn ends";
    spins.front()->invokeButtonAction(nullptr);  // it has no button; its action turns it again
    EXPECT_TRUE(rotation.isAnimating());

    int buttons = 0;
    for (const int index : {3, 4}) {
        for (const auto& widget : widgetsOfPage<VisibleWidget>(index)) {
            if (!widget->hasButton() || !widget->button() || !widget->buttonIcon())
                continue;
            ++buttons;
            std::string why;
            EXPECT_TRUE(waitFor([&] { return showsIcon(window, widget->button(), why); },
                                testing_support::memberWait(3000)))
                << widget->className() << " on page " << index << ": " << why;
        }
    }
    EXPECT_EQ(buttons, 5) << "two slideshows, a popup video, an embedded video and a sound";
    closeReader();
}

// An issue of hostile widget descriptions read through: whatever shows lies on its page.
TEST_F(JourneyTest, ReaderWidgetsOfAHostileIssueStayOnTheirPages) {
    ASSERT_TRUE(DemoLibrary::shared().catalogue().setContentVariant(
        "MG01-2403", demo::ContentVariant::HostileWidgets));
    ASSERT_NO_FATAL_FAILURE(shortenShowcase());
    ASSERT_NO_FATAL_FAILURE(borrowMagazineAs(kNok, "สุขภาพดี"));
    QWidget* window = readerWindow();
    const auto reader = wholeIssueReader();
    ASSERT_TRUE(reader) << "the issue arrives";
    PDFModifyView* pages = reader->pdfView();
    int checked = 0;
    for (int spread = 0; spread < 4; ++spread) {
        // The spread shown (the cover alone, then two pages side by side) with the widgets of
        // its pages that have any placed.
        const int first = spread == 0 ? 0 : 2 * spread - 1;
        const auto widgetPages = [&] {
            std::vector<int> pages;
            for (int index = first; index <= (spread == 0 ? 0 : first + 1); ++index) {
                const auto page = reader->uiContext()->pageContextAtSourceIndex(index);
                if (page && page->rootWidget() && !page->rootWidget()->subwidgets().empty())
                    pages.push_back(index);
            }
            return pages;
        };
        // What shows of the placed widgets' views and where it lies off its page (the views
        // follow the page's layout, which may still settle after they are placed).
        int shownViews = 0;
        const auto outside = [&] {
            std::vector<std::string> faults;
            shownViews = 0;
            for (const int index : reader->placedPages()) {
                const auto page = reader->mainDocument()->pageAtIndex(index);
                const QRect pageRect =
                    pages->convertRectFromDocumentView(pages->pageFrame(page)).toAlignedRect();
                for (const auto& view : reader->widgetViewsOfPage(index)) {
                    QWidget* shown = qtOf(view);
                    if (!shown || !shown->isVisible())
                        continue;
                    const QRegion visible =
                        shown->mask().isEmpty() ? QRegion(shown->rect()) : shown->mask();
                    const QRect onView = visible.boundingRect().translated(shown->pos());
                    ++shownViews;
                    if (!onView.isEmpty() && !pageRect.contains(onView))
                        faults.push_back(plat::format("page %d: %d,%d %dx%d outside %d,%d %dx%d",
                                                      index, onView.x(), onView.y(), onView.width(),
                                                      onView.height(), pageRect.x(), pageRect.y(),
                                                      pageRect.width(), pageRect.height()));
                }
            }
            return faults;
        };
        ASSERT_TRUE(waitFor([&] {
            return reader->currentPageIndex() == first && reader->placedPages() == widgetPages();
        })) << "spread "
            << spread
            << " shows with its widgets placed: " << testing::PrintToString(reader->placedPages());
        waitFor([&] { return outside().empty(); }, testing_support::memberWait(3000));
        EXPECT_EQ(outside(), std::vector<std::string>{}) << "spread " << spread;
        checked += shownViews;
        click(byText<QAbstractButton>("Next", false, window));
    }
    EXPECT_GT(checked, 10) << "widget views shown";
    closeReader();
}

// The video of the showcase played on its page and shown full screen: a window over the whole
// screen with its controls; Escape, the full-screen button and closing that window each put the
// video back in its place on the page. While it plays, its play button shows pause.
TEST_F(JourneyTest, AVideoShownFullScreenComesBackToItsPage) {
    ASSERT_NO_FATAL_FAILURE(shortenShowcase());
    ASSERT_NO_FATAL_FAILURE(borrowMagazineAs(kNok, "สุขภาพดี"));
    QWidget* window = readerWindow();
    const auto reader = wholeIssueReader();
    ASSERT_TRUE(reader) << "the issue arrives";
    for (const auto& pages : {std::vector<int>{1, 2}, std::vector<int>{3, 4}}) {
        click(byText<QAbstractButton>("Next", false, window));
        ASSERT_TRUE(waitFor([&] { return reader->placedPages() == pages; }, 30000));
    }
    const auto videos = widgetsOfPage<VideoAsset>(4);
    ASSERT_EQ(videos.size(), 1U);
    const auto& video = videos.front();
    ASSERT_TRUE(video->button());
    click(qtOf(video->button()->widgetView()));
    const auto placed = std::dynamic_pointer_cast<PlayerWidgetView>(video->playerView());
    ui::PlayerView* player = placed ? placed->playerView() : nullptr;
    ASSERT_TRUE(player && showing(player)) << "the video shows on its page";
    EXPECT_TRUE(waitFor([&] { return player->playButton()->text() == QString::fromUtf8("❚❚"); }))
        << "playing, the button offers pause: " << player->playButton()->text().toStdString();
    QWidget* page = player->parentWidget();
    const QRect onPage = player->geometry();

    const auto fullScreen = [&](const char* how) {
        click(player->fullScreenButton());
        ASSERT_TRUE(player->isWindow()) << how;
        EXPECT_TRUE(player->windowState() & Qt::WindowFullScreen) << how;
        EXPECT_EQ(player->geometry(), player->screen()->geometry()) << how;
        EXPECT_TRUE(player->mask().isEmpty()) << "nothing of it is cut away: " << how;
        EXPECT_TRUE(showing(player->controlBar())) << how;
        EXPECT_EQ(player->controlBar()->geometry().bottom(), player->height() - 1) << how;
    };
    const auto backOnItsPage = [&](const char* how) {
        EXPECT_FALSE(player->isWindow()) << how;
        EXPECT_EQ(player->parentWidget(), page) << how;
        EXPECT_TRUE(waitFor([&] { return showing(player) && player->geometry() == onPage; }))
            << how << ": at " << player->x() << "," << player->y();
    };
    ASSERT_NO_FATAL_FAILURE(fullScreen("by its button"));
    QTest::keyClick(player, Qt::Key_Escape);
    backOnItsPage("Escape");
    ASSERT_NO_FATAL_FAILURE(fullScreen("again"));
    click(player->fullScreenButton());
    backOnItsPage("the full-screen button");
    ASSERT_NO_FATAL_FAILURE(fullScreen("once more"));
    player->close();  // what the window's close button or Alt+F4 does
    backOnItsPage("closing the full-screen window");
    closeReader();
}

// The full-view slideshow of the showcase's fourth page opened in each display mode: it lies
// within the part of its page that shows, and so does its close control, which closes it.
TEST_F(JourneyTest, AFullViewSlideshowOpensOnItsPageInEveryDisplayMode) {
    ASSERT_NO_FATAL_FAILURE(shortenShowcase());
    ASSERT_NO_FATAL_FAILURE(borrowMagazineAs(kNok, "สุขภาพดี"));
    QWidget* window = readerWindow();
    const auto reader = wholeIssueReader();
    ASSERT_TRUE(reader) << "the issue arrives";
    for (const auto& pages : {std::vector<int>{1, 2}, std::vector<int>{3, 4}}) {
        click(byText<QAbstractButton>("Next", false, window));
        ASSERT_TRUE(waitFor([&] { return reader->placedPages() == pages; }, 30000));
    }
    PDFModifyView* pages = reader->pdfView();
    for (const char* mode :
         {"Single Page", "Single Page Continuous", "Two Pages Continuous", "Two Pages"}) {
        // The mode chosen in the toolbar's box: its list opened with a click, the mode picked
        // with the arrow keys and Return.
        auto* box = first<QComboBox>({}, window);
        ASSERT_TRUE(box);
        click(box);
        QAbstractItemView* list = box->view();
        ASSERT_TRUE(waitFor([&] { return showing(list); })) << mode;
        const int from = box->currentIndex(), to = box->findText(mode);
        for (int step = from; step != to; step += to > from ? 1 : -1)
            QTest::keyClick(list, to > from ? Qt::Key_Down : Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] {
            const auto placed = reader->placedPages();
            return box->currentText() == mode &&
                   std::find(placed.begin(), placed.end(), 3) != placed.end();
        })) << mode
            << ": the box shows " << box->currentText().toStdString() << ", pages placed "
            << ::testing::PrintToString(reader->placedPages());
        Ref<SlideshowButton> slideshow;
        for (const auto& widget : widgetsOfPage<SlideshowButton>(3))
            if (widget->popupStyle() != 2)
                slideshow = widget;
        ASSERT_TRUE(slideshow && slideshow->button()) << mode;
        QWidget* button = qtOf(slideshow->button()->widgetView());
        ASSERT_TRUE(button) << mode;
        // Scrolled to its button with the keys, as far as needed.
        for (int key = 0; key < 200 && !pages->viewport()->rect().contains(button->geometry());
             ++key)
            QTest::keyClick(pages, Qt::Key_Down);
        ASSERT_TRUE(pages->viewport()->rect().contains(button->geometry())) << mode;
        click(button);
        QWidget* popup = qtOf(slideshow->popupView());
        ASSERT_TRUE(popup) << mode;
        ASSERT_TRUE(waitFor([&] { return showing(popup); })) << mode;
        const QRect page =
            pages->convertRectFromDocumentView(pages->pageFrame(pages->document()->pageAtIndex(3)))
                .toAlignedRect()
                .intersected(pages->viewport()->rect());
        const auto rectText = [](const QRect& r) {
            return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " +
                   std::to_string(r.width()) + "x" + std::to_string(r.height());
        };
        EXPECT_TRUE(page.adjusted(-1, -1, 1, 1).contains(popup->geometry()))
            << mode << ": " << rectText(popup->geometry()) << " on " << rectText(page);
        QWidget* close = popup->findChild<QAbstractButton*>("closeButton");
        ASSERT_TRUE(close) << mode;
        ASSERT_TRUE(showing(close)) << mode;
        const QRect closeRect(close->mapTo(pages->viewport(), QPoint()), close->size());
        EXPECT_TRUE(page.contains(closeRect)) << mode << ": " << rectText(closeRect);
        click(close);
        EXPECT_TRUE(waitFor([&] { return !showing(popup); })) << mode;
    }
    closeReader();
}

// The slideshows of the showcase's fourth page opened and closed as a member does, each followed
// by the arrow keys typed into the reader window: they turn the pages on, then back, without a
// click on the page first. Closed by the full view's close control, and by a click on one of the
// strip's pictures.
TEST_F(JourneyTest, ClosingASlideshowLeavesTheArrowKeysTurningThePages) {
    ASSERT_NO_FATAL_FAILURE(shortenShowcase());
    ASSERT_NO_FATAL_FAILURE(borrowMagazineAs(kNok, "สุขภาพดี"));
    QWidget* window = readerWindow();
    const auto reader = wholeIssueReader();
    ASSERT_TRUE(reader) << "the issue arrives";
    const auto placed = [&](std::vector<int> pages) {
        return waitFor([&] { return reader->placedPages() == pages; }, 30000);
    };
    for (const auto& pages : {std::vector<int>{1, 2}, std::vector<int>{3, 4}}) {
        click(byText<QAbstractButton>("Next", false, window));
        ASSERT_TRUE(placed(pages));
    }
    // A key typed goes to the reader window, which hands it to whatever holds its keys.
    const auto typeKey = [&](Qt::Key key) {
        ASSERT_TRUE(window->windowHandle());
        QTest::keyClick(window->windowHandle(), key);
    };
    const auto slideshowOfStyle = [&](bool strip) {
        Ref<SlideshowButton> found;
        for (const auto& widget : widgetsOfPage<SlideshowButton>(3))
            if ((widget->popupStyle() == 2) == strip)
                found = widget;
        return found;
    };
    const auto opened = [&](const Ref<SlideshowButton>& slideshow) -> QWidget* {
        if (!slideshow || !slideshow->button())
            return nullptr;
        click(qtOf(slideshow->button()->widgetView()));
        QWidget* popup = qtOf(slideshow->popupView());
        return popup && waitFor([&] { return showing(popup); }) ? popup : nullptr;
    };
    // Right turns to the next spread, Left back to this one, whose widgets come again.
    const auto arrowsTurnThePages = [&](const char* how) {
        const auto holder = [&] {
            QWidget* keys = window->focusWidget();
            return std::string(keys == reader->pdfView() ? "the page view"
                               : keys                    ? keys->metaObject()->className()
                                                         : "nothing");
        };
        typeKey(Qt::Key_Right);
        EXPECT_TRUE(waitFor([&] { return reader->currentPageIndex() == 5; }))
            << how << ": Right turns the page; the keys are with " << holder();
        typeKey(Qt::Key_Left);
        EXPECT_TRUE(waitFor([&] { return reader->currentPageIndex() == 3; }) && placed({3, 4}))
            << how << ": Left turns it back";
    };

    arrowsTurnThePages("before any slideshow");
    // The full view, closed by its close control.
    QWidget* full = opened(slideshowOfStyle(false));
    ASSERT_TRUE(full) << "the full view opens";
    auto* close = full->findChild<QAbstractButton*>("closeButton");
    ASSERT_TRUE(close);
    click(close);
    ASSERT_TRUE(waitFor([&] { return !showing(full); })) << "the close control closes it";
    arrowsTurnThePages("the full view's close control");

    // The strip, closed by a click on its picture.
    const auto stripShow = slideshowOfStyle(true);
    QWidget* strip = opened(stripShow);
    ASSERT_TRUE(strip) << "the strip opens";
    ASSERT_TRUE(stripShow->imageListScroller());
    click(stripShow->imageListScroller()->imageClickButton());
    ASSERT_TRUE(waitFor([&] { return !showing(strip); })) << "a click on its picture closes it";
    arrowsTurnThePages("a click on the strip's picture");
    closeReader();
}
