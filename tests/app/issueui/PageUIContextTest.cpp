// A page's UI context: its widget tree once the interactive files are there, listeners, page
// images from producers' requests and the files they save, the cached file's size, alignment and
// background.
#include <fstream>
#include <iterator>
#include <optional>

#include "IssueUITestSupport.h"
#include "app/issueui/ContainerWidget.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/WidgetFactory.h"
#include "platform/core/Exception.h"
#include "platform/image/Image.h"
#include "support/CapturedLog.h"
#include "support/ScopedTraceSwitch.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"

using namespace issueui_test;

namespace {

class PageListener : public plat::Object {
    PLAT_CLASS(PageListener)
  public:
    void rootWidget(Ref<plat::Object>) { notices.push_back("root"); }
    void painter(Ref<plat::Object>) { notices.push_back("painter"); }
    void thumbnail(Ref<plat::Object> page) {
        auto ui = std::dynamic_pointer_cast<MagazinePageUIContext>(page);
        notices.push_back(ui && ui->smallThumbnailImage() ? "thumbnail"
                                                          : "thumbnail without image");
    }
    void fullPage(Ref<plat::Object> page) {
        auto ui = std::dynamic_pointer_cast<MagazinePageUIContext>(page);
        notices.push_back(ui && ui->fullPageImage() ? "full page" : "full page without image");
    }
    void progress(Ref<plat::Object>, VnRequestProgress p) {
        notices.push_back("progress " + std::to_string(static_cast<int>(p.completed)) + "/" +
                          std::to_string(static_cast<int>(p.total)));
    }
    std::vector<std::string> notices;
};

}  // namespace

PLAT_DEFINE_CLASS(PageListener, plat::Object, [](auto& c) {
    c.method("pageUIContextRootWidgetAvailable:", &PageListener::rootWidget)
        .method("pageUIContextPageContentPainterAvailable:", &PageListener::painter)
        .method("pageUIContextSmallThumbnailImageAvailable:", &PageListener::thumbnail)
        .method("pageUIContextFullPageImageAvailable:", &PageListener::fullPage)
        .method("pageUIContext:pageLoadingProgress:", &PageListener::progress);
})

class PageUIContextTest : public IssueUITest {
  protected:
    void SetUp() override {
        IssueUITest::SetUp();
        WidgetFactory::unregisterAllWidgetClasses();
        registerIssueUIWidgetClasses();
        registerStandInWidgetClasses();
    }
    void TearDown() override {
        WidgetFactory::unregisterAllWidgetClasses();
        IssueUITest::TearDown();
    }
};

TEST_F(PageUIContextTest, TheWidgetTreeIsBuiltOnceTheInteractiveFilesAreThere) {
    auto issue = makeIssue("MG-10", "Magazine", {{0, 0}});
    cacheMetadata(
        issue,
        dict({{"Pages",
               dict({{"0", dict({{"Widgets", list({dict({{"WidgetType", "ImageWidget"},
                                                         {"Frame", "{10,20,100,50}"}}),
                                                   dict({{"WidgetType", "NoSuchKind"}}),
                                                   dict({{"WidgetType", "ImageView360"},
                                                         {"ImageIdLength", 0}}),
                                                   dict({{"WidgetType", "ItemHighlighter"}}),
                                                   dict({{"WidgetType", "UrlLink"}})})}})}})}}));
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    auto page = ui->pageContextAtSourceIndex(0);
    auto listener = std::make_shared<PageListener>();
    page->addDelegate(listener);
    page->addDelegate(listener);  // once is enough
    EXPECT_FALSE(page->rootWidget());

    plat::send(
        issue->pageContextWithSourcePageIndex(0)->delegate(),
        "pageContextDidFinishLoadingInteractiveFiles:", issue->pageContextWithSourcePageIndex(0));
    EXPECT_EQ(listener->notices, (std::vector<std::string>{"root"}));
    auto root = page->rootWidget();
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->isKindOf<ContainerWidget>());
    // The unknown kind and the throwing one are skipped; the others are built in order.
    ASSERT_EQ(root->subwidgets().size(), 3U);
    EXPECT_EQ(std::static_pointer_cast<StandInWidget>(root->subwidgets()[0])->standsFor,
              "ImageWidget");
    EXPECT_EQ(root->subwidgets()[0]->frame(), QRectF(10, 20, 100, 50));
    EXPECT_EQ(root->subwidgets()[0]->superwidget(), root);
    EXPECT_TRUE(root->subwidgets()[1]->isKindOf<ItemHighlighterWidget>());
    EXPECT_EQ(page->rootWidget(), root);

    // A root that is not attached is dropped when memory is purged and built again.
    page->purgeMemoryCache();
    auto rebuilt = page->rootWidget();
    ASSERT_TRUE(rebuilt);
    EXPECT_NE(rebuilt, root);
    EXPECT_EQ(rebuilt->subwidgets().size(), 3U);

    // Other notices reach the listener; after removal nothing does, and nothing fails.
    page->pageContext_loadingProgress(issue, VnRequestProgressMake(3, 8));
    page->pageContextDidFinishLoadingPage(issue);
    page->removeDelegate(listener);
    page->pageContextDidFinishLoadingPage(issue);
    page->updateSmallThumbnailImage(nullptr);
    EXPECT_EQ(listener->notices, (std::vector<std::string>{"root", "progress 3/8", "painter"}));
    // The assertion names the parameter.
    try {
        MagazinePageUIContext::initWithMagazineIssueUIContext(ui, nullptr);
        ADD_FAILURE() << "a null page context was taken";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.reason(), "Invalid parameter not satisfying: pageContext");
    }
}

TEST_F(PageUIContextTest, APageWhoseFilesArrivedBeforeItsUIContextHasItsTreeAtOnce) {
    auto issue = makeIssue("MG-13", "Magazine", {{0, 0}, {1, 1}});
    cacheMetadata(
        issue, dict({{"Pages",
                      dict({{"0", dict({{"Widgets", list({dict({{"WidgetType", "ImageWidget"},
                                                                {"ImageFileName", "photo"}})})}})},
                            {"1", dict({{"PageName", "P2"}})}})}}));
    for (int index : {0, 1}) {
        auto page = issue->userContext()->cachedAssetWithId(
            issue->contentAssetIdWithSourcePageIndex(index));
        ASSERT_FALSE(page->replaceWithData(plat::Bytes{'%', 'P', 'D', 'F'}));
    }
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    // Page 0 still waits for its picture; page 1 needs none.
    EXPECT_FALSE(ui->pageContextAtSourceIndex(0)->rootWidget());
    auto plain = ui->pageContextAtSourceIndex(1)->rootWidget();
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->subwidgets().empty());

    cacheInteractiveFile(issue, 0, "photo", pngBytes(4, 4));
    auto again = MagazineIssueUIContext::initWithContext(issue);
    auto root = again->pageContextAtSourceIndex(0)->rootWidget();
    ASSERT_TRUE(root);
    ASSERT_EQ(root->subwidgets().size(), 1U);
    EXPECT_TRUE(root->subwidgets()[0]->isReadyForDisplay());
}

TEST_F(PageUIContextTest, ProducedImagesAreHeldOnlyWhileListenersAreTold) {
    auto issue = makeIssue("MG-11", "Magazine", {{0, 0}, {1, 1}});
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    auto page = ui->pageContextAtSourceIndex(1);
    auto listener = std::make_shared<PageListener>();
    page->addDelegate(listener);
    auto image = plat::Image::imageWithData(pngBytes(8, 4));
    ASSERT_TRUE(image);
    auto done = VnRequestResult::resultWithReturnValue(plat::Value::fromObject(image), nullptr);
    auto failed = VnRequestResult::failedResultWithErrorMessage("no");

    page->setSmallThumbnailGenerationRequest(std::make_shared<VnRequestContext>());
    page->smallThumbnailGeneration_request_didFinishWithResult(nullptr, done);
    EXPECT_FALSE(page->smallThumbnailGenerationRequest());
    EXPECT_FALSE(page->smallThumbnailImage());
    page->smallThumbnailGeneration_request_didFinishWithResult(nullptr, failed);

    // The full page only while images are wanted.
    page->fullPageImageGeneration_request_didFinishWithResult(nullptr, done);
    page->setGenerateImages(true);
    page->setGenerateImages(true);
    page->fullPageImageGeneration_request_didFinishWithResult(nullptr, done);
    EXPECT_FALSE(page->fullPageImage());
    EXPECT_EQ(page->fullPageImageRenderSize(), QSizeF());
    page->setGenerateImages(false);
    EXPECT_FALSE(page->fullPageLayer());
    EXPECT_EQ(listener->notices, (std::vector<std::string>{"thumbnail", "full page"}));

    // A producer's queued request moves forward in the issue's one-at-a-time queue.
    auto first = std::make_shared<VnRequestContext>();
    auto second = std::make_shared<VnRequestContext>();
    ui->imageRequestManager()->setAutostart(false);
    ui->enqueuePageRelatedRequest(first);
    ui->enqueuePageRelatedRequest(second);
    page->setFullPageImageGenerationRequest(second);
    page->prioritizeLoading();
    ASSERT_EQ(ui->imageRequestManager()->queuedRequests().size(), 2U);
    EXPECT_EQ(ui->imageRequestManager()->queuedRequests().front(), second);
    EXPECT_EQ(ui->imageRequestManager()->concurrentRequestCountLimit(), 1);
    EXPECT_FALSE(ui->generatingThumbnails());
    ui->cancelLoading();
    EXPECT_TRUE(ui->imageRequestManager()->queuedRequests().empty());
}

TEST_F(PageUIContextTest, FileSizeAlignmentAndBackground) {
    auto issue = makeIssue("MG-12", "Magazine", {{0, 0}, {1, 1}});
    cacheMetadata(issue, dict({{"DefaultSinglePageAlignment", 2},
                               {"Pages", dict({{"0", dict({{"PageName", "Cover"}})},
                                               {"1", dict({{"DoublePageAlignment", 3}})}})}}));
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    auto cover = ui->pageContextAtSourceIndex(0);
    auto second = ui->pageContextAtSourceIndex(1);

    // The cached page file, measured in 64 bits; a missing file is empty.
    EXPECT_FALSE(cover->checkFileSizeOverLimit());
    const auto path = cover->pageContext()->localCacheAsset()->filePath();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, MagazinePageUIContext::kFileSizeLimit);
    EXPECT_FALSE(cover->checkFileSizeOverLimit());
    std::filesystem::resize_file(path, MagazinePageUIContext::kFileSizeLimit + 1);
    EXPECT_TRUE(cover->checkFileSizeOverLimit());
    std::filesystem::resize_file(path, int64_t{5} << 30);  // sparse: over 32 bits
    EXPECT_TRUE(cover->checkFileSizeOverLimit());
    std::filesystem::remove(path);

    // Page codes 99 take the issue's defaults (double 0: automatic); page 1 centres spreads.
    EXPECT_EQ(cover->contentAlignmentWithSlotIndex(0, true), 2);
    EXPECT_EQ(cover->contentAlignmentWithSlotIndex(1, true), 0);
    EXPECT_EQ(cover->contentAlignmentWithSlotIndex(-1, true), 0);
    EXPECT_EQ(second->contentAlignmentWithSlotIndex(0, true), 1);
    EXPECT_EQ(second->contentAlignmentWithSlotIndex(1, true), 1);
    EXPECT_EQ(cover->contentAlignmentWithSlotIndex(1, false), 2);  // the issue's single code 2
    EXPECT_EQ(cover->effectiveBackgroundColor(), QColor(0, 0, 0));
    EXPECT_EQ(second->effectiveBackgroundColor(), QColor(0, 0, 0));

    // A book with no codes: centred alone, white but for its first page.
    auto book = makeIssue("BK-1", "Book", {{0, 0}, {1, 1}});
    auto bookUI = MagazineIssueUIContext::initWithContext(book);
    EXPECT_EQ(bookUI->pageContextAtSourceIndex(1)->contentAlignmentWithSlotIndex(0, false), 1);
    EXPECT_EQ(bookUI->pageContextAtSourceIndex(1)->contentAlignmentWithSlotIndex(0, true), 2);
    EXPECT_EQ(bookUI->pageContextAtSourceIndex(0)->effectiveBackgroundColor(), QColor(0, 0, 0));
    EXPECT_EQ(bookUI->pageContextAtSourceIndex(1)->effectiveBackgroundColor(),
              QColor(255, 255, 255));
}

TEST_F(PageUIContextTest, AProducersPageImagesGoToThePageCacheOnlyWhileTheIssueIsThere) {
    auto issue = makeIssue("MG-14", "Magazine", {{0, 0}});
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    const auto page = ui->pageContextAtSourceIndex(0);
    const auto thumbnail = pngBytes(3, 4);
    const auto full = pngBytes(30, 40);
    const auto fileOf = [](const Ref<VnMagazineIssueContext>& owner, const std::string& id) {
        std::ifstream in(owner->localCacheWithId(id)->filePath(), std::ios::binary);
        return plat::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };

    page->setGenerateSmallThumbnail(true);
    EXPECT_TRUE(page->generateSmallThumbnail());
    page->saveSmallThumbnailImageWithImageData(thumbnail);
    EXPECT_TRUE(page->pageContext()->smallThumbnailImageAssetAvailable());
    EXPECT_FALSE(page->allThumbnailAvailable());
    page->saveFullPageImageWithImageData(full);
    EXPECT_TRUE(page->allThumbnailAvailable());
    const auto fullId = page->pageContext()->fullPageImageAssetId();
    EXPECT_EQ(fileOf(issue, fullId), full);
    EXPECT_EQ(fileOf(issue, page->pageContext()->smallThumbnailImageAssetId()), thumbnail);

    // Asking for the cached full page, and the hooks a producer fills, change nothing held.
    page->setGenerateImages(true);
    page->pageContextDidFinishLoadingFullPageImage(page->pageContext());
    page->buildFullPageLayerFromImage(plat::Image::imageWithData(full));
    page->imageLoader_request_didFinishWithResult(nullptr, nullptr);
    EXPECT_FALSE(page->fullPageImage());
    EXPECT_FALSE(page->fullPageLayer());
    // The painter is said to go ("Memory") only once no image is being made.
    std::optional<testing_support::ScopedTraceSwitch> memory(
        std::in_place, [](std::string_view group) { return group == "Memory"; });
    page->setFullPageImageGenerationRequest(std::make_shared<VnRequestContext>());
    const auto busy = testing_support::logged([&] { page->cleanupPainterIfNeeded(); });
    page->setFullPageImageGenerationRequest(nullptr);
    const auto idle = testing_support::logged([&] { page->cleanupPainterIfNeeded(); });
    memory.reset();
    EXPECT_TRUE(busy.empty());
    ASSERT_EQ(idle.size(), 1U);
    EXPECT_NE(idle[0].find("Painter purged after thumbnail generation at page 0"),
              std::string::npos);

    // Once the issue is gone, a late producer's images are dropped: the cache keeps its files.
    ui.reset();
    issue.reset();
    ASSERT_TRUE(page->pageContext()->disposed());
    page->saveFullPageImageWithImageData(thumbnail);
    page->saveSmallThumbnailImageWithImageData(full);
    page->setGenerateImages(false);
    page->setGenerateImages(true);
    const auto again = makeIssue("MG-14", "Magazine", {{0, 0}});
    EXPECT_EQ(fileOf(again, fullId), full);
    EXPECT_EQ(fileOf(again, again->pageContextWithSourcePageIndex(0)->smallThumbnailImageAssetId()),
              thumbnail);
}
