// The showcase issue opened in the reader: the widgets it places over the visible pages answer
// clicks there: a link on a picture opens, a page link moves the reader, a slideshow button shows
// its picture strip.
#include <QAbstractButton>
#include <QTest>

#include "ShowcaseTestSupport.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/reader/ReaderViewController.h"
#include "app/widgets/ImageListScroller.h"
#include "app/widgets/ImageWidget.h"
#include "app/widgets/SlideshowButton.h"
#include "platform_ui/UrlOpener.h"

using namespace showcase_testing;

namespace {

QWidget* widgetOf(const Ref<WidgetView>& view) {
    auto qt = std::dynamic_pointer_cast<QtWidgetView>(view);
    return qt ? qt->widget() : nullptr;
}

void click(QWidget* widget) {
    ASSERT_TRUE(widget);
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

using ReaderShowcaseTest = ShowcaseTest;

TEST_F(ReaderShowcaseTest, LinksOpenOrMoveTheReaderAndASlideshowShowsItsStrip) {
    // The showcase on an issue of eight pages.
    demo::SampleItem item = *demo.catalogue.findItem("MG01-2403");
    item.pageCount = 8;
    ASSERT_TRUE(demo.catalogue.withdrawItem("MG01-2403"));
    ASSERT_TRUE(demo.catalogue.addItem(item));
    auto issue = issueContext("MG01-2403");
    bool loaded = false;
    issue->requestForLoadingMetadata()->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const plat::Value&) { loaded = true; });
    ASSERT_TRUE(spinUntil([&] { return loaded; }, 20000));
    auto context = MagazineIssueUIContext::initWithContext(issue);

    auto reader = ui::ViewController::create<ReaderViewController>();
    reader->view()->resize(1000, 800);
    reader->view()->show();
    reader->setUiContext(context);
    const auto placed = [&](const std::vector<int>& pages) {
        return spinUntil([&] { return reader->placedPages() == pages; }, 30000);
    };
    ASSERT_TRUE(spinUntil(
        [&] {
            return context->allPresentationPagesAvailable() &&
                   !context->context()->interactiveDownloading() &&
                   reader->progressView()->isHidden();
        },
        30000));
    // The spread of the links.
    reader->goToNextPage();
    ASSERT_TRUE(placed({1, 2}));

    // The link on the picture of the third page answers a click where it shows, as the mouse
    // gives it: through the window, to whatever lies on top there.
    std::vector<std::string> opened;
    ui::UrlOpener::setHandler([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    QWidget* picture = nullptr;
    for (const auto& widget : context->pageContextAtSourceIndex(2)->rootWidget()->subwidgets())
        if (auto image = std::dynamic_pointer_cast<ImageWidget>(widget))
            picture = widgetOf(image->widgetView());
    ASSERT_TRUE(picture);
    QWidget* link = nullptr;  // the button of the link, not the line drawn under it
    for (auto* button : picture->findChildren<QAbstractButton*>())
        if (!button->testAttribute(Qt::WA_TransparentForMouseEvents))
            link = button;
    ASSERT_TRUE(link) << "the picture holds its link";
    QWidget* window = reader->view()->window();
    const QPoint at = link->mapTo(window, link->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.com/photo"});
    ui::UrlOpener::setHandler(nullptr);

    // The topmost button is the link to the fifth page's: its spread comes. (The click above
    // may have the spread's widgets placed anew, each once it is ready: the button is looked
    // for until it is there.)
    QWidget* topmost = nullptr;
    ASSERT_TRUE(spinUntil(
        [&] {
            topmost = nullptr;
            for (const auto& view : reader->widgetViewsOfPage(1)) {
                QWidget* widget = widgetOf(view);
                if (qobject_cast<QAbstractButton*>(widget) &&
                    (!topmost || widget->y() < topmost->y()))
                    topmost = widget;
            }
            return topmost != nullptr;
        },
        30000))
        << "the second page's buttons are placed: "
        << testing::PrintToString(reader->placedPages());
    click(topmost);
    ASSERT_TRUE(placed({3, 4}));

    // The strip slideshow of the fourth page: its popup, then its button.
    auto root = context->pageContextAtSourceIndex(3)->rootWidget();
    ASSERT_TRUE(root);
    Ref<SlideshowButton> strip;
    for (const auto& widget : root->subwidgets()) {
        if (auto slideshow = std::dynamic_pointer_cast<SlideshowButton>(widget);
            slideshow && slideshow->popupStyle() == 2)
            strip = slideshow;
    }
    ASSERT_TRUE(strip);
    ASSERT_TRUE(spinUntil([&] { return strip->popupView() != nullptr; }, 30000));
    const auto views = reader->widgetViewsOfPage(3);
    const auto popup = std::find(views.begin(), views.end(), strip->popupView());
    ASSERT_NE(popup, views.end());
    ASSERT_NE(popup + 1, views.end());
    QWidget* shown = widgetOf(*popup);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->isVisible());
    click(widgetOf(*(popup + 1)));
    EXPECT_TRUE(spinUntil([&] { return shown->isVisible(); }, 10000));
    ASSERT_TRUE(strip->imageListScroller());

    reader->setUiContext(nullptr);
    reader->view()->hide();
}

}  // namespace
