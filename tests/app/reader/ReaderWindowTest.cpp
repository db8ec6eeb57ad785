// The reader window as the shelves open it through the hand-over: title, pages, the widget box
// that shows once its page has come, the last page stored on every way of closing, the shelf
// told once a close, and the next opening landing on the stored page.
#include <QComboBox>

#include "ReaderTestSupport.h"
#include "app/reader/ReaderResources.h"
#include "app/reader/ReaderWindowController.h"
#include "app/services/ReaderHandOver.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

using namespace reader_testing;

namespace {

// The shelf's side of the hand-over.
class Shelf : public plat::Object {
    PLAT_CLASS(Shelf)
  public:
    void readerWindowControllerWillClose() { ++closes; }
    int closes = 0;
};

}  // namespace

PLAT_DEFINE_CLASS(Shelf, plat::Object, [](auto& c) {
    c.method("readerWindowControllerWillClose", &Shelf::readerWindowControllerWillClose);
})

using ReaderWindowTest = ReaderTest;

TEST_F(ReaderWindowTest, OpensAsTheShelfDoesAndStoresTheLastPageHoweverItCloses) {
    addItem("RW01-0008", 8);
    const auto service = GlobalService::globalShared();
    service->setReaderViewController(
        ui::ResourceRegistry::shared().instantiateController(ReaderScreens::kReaderWindow));
    const auto handOver = service->readerHandOver();
    ASSERT_TRUE(handOver);
    const auto window =
        std::dynamic_pointer_cast<ReaderWindowController>(service->readerViewController());
    ASSERT_TRUE(window);
    auto shelf = std::make_shared<Shelf>();
    handOver->setDelegate(shelf);

    // Page 5 (with a picture, shown as a box) comes last.
    demo.service.setFault("/content/RW01-0008/PAGE_5.pdf", demo::Fault::stall());
    auto context = contextOf("RW01-0008");
    ASSERT_TRUE(context);
    handOver->openIssue(context, context->readerCaptionText(), 5);
    const auto reader = window->readerViewController();
    ASSERT_TRUE(reader);
    EXPECT_EQ(window->window()->windowTitle(), "Reader Times - Issue RW01-0008");
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_TRUE(reader->isDisplayReader());
    EXPECT_EQ(window->pageViewPopUpButton()->currentIndex(), 2);
    EXPECT_EQ(reader->pdfView()->displayMode(), 2);
    window->pageViewPopUpButton()->setCurrentIndex(0);
    window->pageViewPopUpButtonSelectClick();
    ASSERT_TRUE(spinUntil([&] { return reader->currentPageIndex() == 5; }));
    ASSERT_TRUE(spinUntil([&] { return demo.service.stalledCount() == 1; }));
    spin(100);
    QWidget* viewport = reader->pdfView()->viewport();
    EXPECT_TRUE(reader->mainDocument()->pageAtIndex(5)->isImagePage());
    EXPECT_EQ(pixelsNear(viewport->grab().toImage(), kBoxColour), 0);

    // The page arrives: its box replaces the placeholder's plain grey, where the page puts it.
    demo.service.clearFaults();
    demo.service.releaseStalled();
    ASSERT_TRUE(waitUntilLoaded(reader));
    // The page file is checked first (off this thread), however busy the machine is.
    ASSERT_TRUE(spinUntil([&] { return !reader->widgetViewsOfPage(5).empty(); }, 20000));
    ASSERT_TRUE(waitUntilPainted(reader, 5));
    const auto page = reader->mainDocument()->pageAtIndex(5);
    const QRect box = reader->pdfView()
                          ->convertRectFromPage(QRectF(40, 842 - 320, 320, 240), page)
                          .toAlignedRect();
    const QImage shot = viewport->grab().toImage();
    EXPECT_EQ(pixelsNear(shot.copy(box.adjusted(2, 2, -2, -2)), kBoxColour),
              (box.width() - 4) * (box.height() - 4));
    EXPECT_EQ(pixelsNear(shot, kBoxColour), pixelsNear(shot.copy(box), kBoxColour));

    // Closed by the toolbar: the page is stored under "<code>/LastViewedPageIndex", no widget
    // view is left, the shelf hears it once.
    reader->goToPage(6);
    ASSERT_TRUE(spinUntil([&] { return reader->currentPageIndex() == 6; }));
    window->closeToolbarItemClick();
    spin(20);
    EXPECT_FALSE(window->window()->isVisible());
    EXPECT_EQ(shelf->closes, 1);
    EXPECT_FALSE(reader->isDisplayReader());
    const auto storage = context->context()->userContext()->userStorage();
    EXPECT_EQ(storage->objectForKey("RW01-0008/LastViewedPageIndex").intValue(), 6);
    EXPECT_TRUE(reader->placedPages().empty());
    for (QWidget* child : reader->pdfView()->documentView()->findChildren<QWidget*>())
        EXPECT_FALSE(child->isVisible());
    window->close();  // already closed: nothing more
    EXPECT_EQ(shelf->closes, 1);

    // Opened again as the shelf does, it lands on the stored page; closing the window itself
    // stores the page too.
    auto again = contextOf("RW01-0008");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->userLastViewedPageIndex(), 6);
    handOver->openIssue(again, again->readerCaptionText(), again->userLastViewedPageIndex());
    ASSERT_TRUE(spinUntil([&] { return reader->currentPageIndex() == 6; }));
    reader->goToPage(2);
    ASSERT_TRUE(spinUntil([&] { return reader->currentPageIndex() == 2; }));
    window->window()->close();
    EXPECT_EQ(shelf->closes, 2);
    EXPECT_EQ(storage->objectForKey("RW01-0008/LastViewedPageIndex").intValue(), 2);

    // Without a delegate the window still closes and the reader stops displaying.
    handOver->setDelegate(nullptr);
    handOver->openIssue(again, again->readerCaptionText(), 99);
    ASSERT_TRUE(spinUntil([&] { return reader->currentPageIndex() == 7; }));  // clamped
    EXPECT_TRUE(reader->isDisplayReader());
    window->closeToolbarItemClick();
    EXPECT_FALSE(reader->isDisplayReader());
    EXPECT_EQ(shelf->closes, 2);
    service->setReaderViewController(nullptr);
}
