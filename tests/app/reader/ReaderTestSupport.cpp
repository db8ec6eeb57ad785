#include "ReaderTestSupport.h"

#include <QPainter>
#include <QWidget>

#include "app/AreaRegistrations.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetFactory.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

PLAT_DEFINE_CLASS(reader_testing::ColouredBoxWidget, VisibleWidget, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(reader_testing::ViewlessButton, WidgetActionButton, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(reader_testing::FakePageUIContext, MagazinePageUIContext, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(reader_testing::FakeIssueUIContext, MagazineIssueUIContext, PLAT_NO_METHODS)

namespace reader_testing {

namespace {

class BoxView : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), kBoxColour); }
};

}  // namespace

Ref<WidgetView> ColouredBoxWidget::newWidgetView(const QRectF& frame) {
    ++viewsMade;
    auto widget = std::make_unique<BoxView>();
    widget->setGeometry(frame.toRect());
    return std::make_shared<QtWidgetView>(std::move(widget));
}

void ColouredBoxWidget::didBecomeActive() {
    VisibleWidget::didBecomeActive();
    ++activations;
}

void ColouredBoxWidget::detachFromView() {
    VisibleWidget::detachFromView();
    ++detaches;
}

Ref<ColouredBoxWidget> box(const QRectF& frame) {
    auto description = plat::MutableDictionary::make(
        {{"Frame", plat::Value(VisibleWidget::stringFromRect(frame))},
         {"Button", plat::Value(Ref<plat::Dictionary>(plat::MutableDictionary::make()))}});
    return OverlayData::dataByDictionary<ColouredBoxWidget>(*description, nullptr);
}

Ref<MagazinePageUIContext> FakeIssueUIContext::pageContextAtSourceIndex(int32_t sourceIndex) {
    auto& page = pages[sourceIndex];
    if (!page) {
        auto pageContext = context()->pageContextWithSourcePageIndex(sourceIndex);
        if (!pageContext)
            return nullptr;
        page = std::make_shared<FakePageUIContext>(self<MagazineIssueUIContext>(), pageContext);
    }
    return page;
}

Ref<ContainerWidget> FakeIssueUIContext::rootOf(int32_t sourceIndex) {
    const auto page =
        std::dynamic_pointer_cast<FakePageUIContext>(pageContextAtSourceIndex(sourceIndex));
    if (page && !page->root)
        page->root = std::make_shared<ContainerWidget>();
    return page ? page->root : nullptr;
}

void ReaderTest::SetUp() {
    ui::RunLoopBridge::install();
    demo.start();
    registerAllAreaResources(ui::ResourceRegistry::shared());
    // The box stands for the pictures of the demo's pages (every sixth page has one).
    WidgetFactory::registerWidgetClass<ColouredBoxWidget>(
        WidgetFactory::classNameForWidgetType("ImageWidget"));
}

void ReaderTest::TearDown() {
    for (const auto& reader : readers) {
        reader->setUiContext(nullptr);
        reader->view()->hide();
    }
    readers.clear();
    spin(20);
    // The page checks of the issues let go end with the test, as they do with the program.
    ui::PdfPageCheck::stopChecks();
    demo.stop();
    // Windows and views let go by their controllers go now, with the pages they show.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

demo::SampleItem& ReaderTest::addItem(const std::string& code, int pages, bool book) {
    demo::SampleItem item;
    item.code = code;
    item.kind = book ? demo::ItemKind::Book : demo::ItemKind::MagazineIssue;
    item.title = "Issue " + code;
    item.titleCode = book ? "" : "RT";
    item.pageCount = pages;
    item.libraryCopies = 1;
    items[code] = item;
    return items[code];
}

void ReaderTest::stallFirstPages(const std::string& code, int pages) {
    for (int page = 0; page < pages; ++page)
        demo.service.setFault("/content/" + code + "/PAGE_" + std::to_string(page) + ".pdf",
                              demo::Fault::stall());
}

Ref<VnMagazineIssueInfo> ReaderTest::record(const demo::SampleItem& item) {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(item.code);
    info->itemCode_ = item.code;
    info->type_ = item.kind == demo::ItemKind::Book ? "Book" : "Magazine";
    info->setIssueName(item.title);
    if (item.kind != demo::ItemKind::Book)
        info->setMagazineName(std::string("Reader Times"));
    return info;
}

Ref<VnMagazineIssueContext> ReaderTest::loadedIssue(const std::string& code) {
    const auto it = items.find(code);
    if (it == items.end())
        return nullptr;
    // Items join the catalogue when first used, so that a test may set them up first.
    if (!demo.catalogue.findItem(code))
        demo.catalogue.addItem(it->second);
    auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(record(it->second));
    bool loaded = false;
    issue->requestForLoadingMetadata()->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const plat::Value&) { loaded = true; });
    if (!spinUntil([&] { return loaded; }, 15000))
        return nullptr;
    return issue;
}

Ref<ReaderViewController> ReaderTest::shownReader(QSize size) {
    auto reader = ui::ViewController::create<ReaderViewController>();
    reader->view()->resize(size);
    reader->view()->show();
    readers.push_back(reader);
    return reader;
}

bool ReaderTest::waitUntilLoaded(const Ref<ReaderViewController>& reader, int seconds) {
    return spinUntil(
        [&] {
            const auto context = reader->uiContext();
            return context && context->allPresentationPagesAvailable() &&
                   context->pagesBeingChecked() == 0 &&
                   !context->context()->interactiveDownloading() &&
                   reader->progressView()->isHidden();
        },
        seconds * 1000);
}

bool ReaderTest::waitUntilPainted(const Ref<ReaderViewController>& reader, int index) {
    return spinUntil(
        [&] {
            const auto page = reader->mainDocument()->pageAtIndex(index);
            return page && reader->pdfView()->hasPainted(page);
        },
        20000);
}

bool ReaderTest::waitUntilParsed(const Ref<ReaderViewController>& reader) {
    return spinUntil(
        [&] {
            // Pages that arrived are handed over once checked.
            const auto context = reader->uiContext();
            if (context && context->pagesBeingChecked() > 0)
                return false;
            const auto document = reader->mainDocument();
            for (int i = 0; document && i < document->pageCount(); ++i) {
                const auto page = document->pageAtIndex(i);
                if (!page->isImagePage() && !page->isChecked())
                    return false;
            }
            return true;
        },
        20000);
}

}  // namespace reader_testing
