// The showcase issue opened in the reader: the widgets it places over the visible pages answer
// clicks there: a page link moves the reader, a slideshow button shows its picture strip.
#include <QAbstractButton>
#include <QTest>

#include "ShowcaseTestSupport.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/QtWidgetView.h"
#include "app/reader/ReaderViewController.h"
#include "app/widgets/ImageListScroller.h"
#include "app/widgets/SlideshowButton.h"

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

TEST_F(ReaderShowcaseTest, APageLinkMovesTheReaderAndASlideshowShowsItsStrip) {
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

    // The topmost button is the link to the fifth page's: its spread comes.
    QWidget* topmost = nullptr;
    for (const auto& view : reader->widgetViewsOfPage(1)) {
        QWidget* widget = widgetOf(view);
        if (qobject_cast<QAbstractButton*>(widget) && (!topmost || widget->y() < topmost->y()))
            topmost = widget;
    }
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
