// Whole-issue downloads against the demo service: page list, metadata, locations, pages in
// reading order at most four at a time, interactive files, the finished mark.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "ContextTestSupport.h"
#include "demo-service/DemoContent.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/PropertyList.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"

using demo::Json;

namespace {

class IssueWatcher : public plat::Object {
    PLAT_CLASS(IssueWatcher)
  public:
    std::vector<std::string> extraIds;  // named for every page besides the widgets' files
    void willStart(Ref<plat::Object>) { ++starts; }
    void pageAvailable(Ref<plat::Object>, int32_t index) { pages.push_back(index); }
    void pageInfos(Ref<plat::Object>) { ++pageInfoLoads; }
    void interactiveDone(Ref<plat::Object>) { ++interactiveFinishes; }
    // The files the page's widgets name.
    plat::Value interactiveFiles(Ref<plat::Object>, Ref<VnMagazineIssuePageRenderingInfo> info) {
        std::vector<plat::Value> ids(extraIds.begin(), extraIds.end());
        if (info && info->widgetDictionaries()) {
            info->widgetDictionaries()->enumerate([&](const plat::Value& widget) {
                if (auto d = widget.dictionary(); d && d->objectForKey("FileId").string())
                    ids.push_back(d->objectForKey("FileId"));
                return true;
            });
        }
        return plat::Value::fromObject(plat::Array::make(std::move(ids)));
    }
    void progress(Ref<plat::Object>, VnRequestProgress) { ++progressReports; }
    void fullImage(Ref<plat::Object>) { ++fullImages; }
    void thumbnail(Ref<plat::Object>) { ++thumbnails; }
    int starts = 0, pageInfoLoads = 0, interactiveFinishes = 0, progressReports = 0;
    int fullImages = 0, thumbnails = 0;
    std::vector<int32_t> pages;
};

class IssueContextTest : public ContextTest {
  protected:
    // Loads the whole of the sample newspaper through the active user's context, to its end.
    Ref<VnMagazineIssueContext> loadWholeNewspaper(const Ref<IssueWatcher>& watcher) {
        auto issue = context->activeUserContext()->magazineIssueContextWithInfo(
            issueRecord("NP02-240301", "Newspaper"));
        issue->setDelegate(watcher);
        issue->startLoadingAllPages();
        plat::RunLoop::current().runUntil([&] { return issue->info()->finished_; }, 30);
        return issue;
    }
};

TEST_F(IssueContextTest, AWholeIssueArrivesInReadingOrderAndIsMarkedFinished) {
    auto user = context->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(issueRecord("NP01-240302", "Newspaper"));
    auto watcher = std::make_shared<IssueWatcher>();
    issue->setDelegate(watcher);
    for (int i = 0; i < 24; ++i)
        issue->pageContextWithSourcePageIndex(i)->setDelegate(watcher);
    issue->startLoadingAllPages();
    EXPECT_TRUE(issue->downloading());
    size_t mostRunning = 0;
    std::vector<int32_t> queued;  // the page requests as first queued: running, then waiting
    plat::RunLoop::current().runUntil(
        [&] {
            const auto& manager = *issue->pageRequestManager();
            mostRunning = std::max(mostRunning, manager.activeRequests().size());
            if (queued.empty() &&
                manager.activeRequests().size() + manager.queuedRequests().size() == 24) {
                for (const auto* list : {&manager.activeRequests(), &manager.queuedRequests()}) {
                    for (const auto& request : *list)
                        queued.push_back(request->userInfo().as<VnPageInfo>()->sourcePageIndex());
                }
            }
            return issue->info()->finished_;
        },
        60);
    ASSERT_TRUE(issue->info()->finished_);
    EXPECT_FALSE(issue->downloading());
    EXPECT_LE(mostRunning, 4U);
    EXPECT_EQ(issue->finishedPageCount(), 24U);
    EXPECT_EQ(watcher->pageInfoLoads, 1);
    EXPECT_GE(watcher->starts, 2);  // started again once the page list was known
    EXPECT_EQ(watcher->pages.size(), 24U);
    EXPECT_GE(watcher->progressReports, 24);
    EXPECT_EQ(calls("GetAssetFiles"), 2U);  // the metadata file, then every page and image at once

    // Page files were queued in reading order: the last file is read first here.
    ASSERT_EQ(queued.size(), 24U);
    EXPECT_EQ(queued[0], 23);
    for (int i = 1; i < 24; ++i)
        EXPECT_EQ(queued[static_cast<size_t>(i)], i - 1);

    // Byte-exact pages, the metadata read, the interactive files of the widgets cached.
    const auto bytes = issue->contentAssetWithSourcePageIndex(7)->data();
    const auto expected =
        demo::demoContent(demo::demoContentPath("NP01-240302", "PAGE", "PDF", "7"));
    ASSERT_TRUE(bytes && expected);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), expected->first);
    auto page5 = issue->pageContextWithSourcePageIndex(5);
    EXPECT_EQ(page5->pageName(), "P6");
    EXPECT_EQ(page5->interactiveFileIds(), (std::set<std::string>{"img5"}));
    EXPECT_TRUE(page5->interactiveAssetWithId("img5"));
    EXPECT_TRUE(
        user->isContentAssetAvaiableWithId(issue->interactiveContentAssetIdWithFileId("img23")));

    // A new context on the cached item needs no request and finishes at once.
    service.clearRequests();
    auto again = user->magazineIssueContextWithInfo(issueRecord("NP01-240302", "Newspaper"));
    again->setDelegate(watcher);
    again->startLoadingAllPages();
    plat::RunLoop::current().runUntil([&] { return again->info()->finished_; }, 10);
    EXPECT_TRUE(again->info()->finished_);
    EXPECT_EQ(calls("GetBookPages"), 0U);
    EXPECT_EQ(again->finishedPageCount(), 24U);
    again->pageContextWithSourcePageIndex(0);
    again->checkReaded();  // the user context keeps no read marks: only the timer stops
    EXPECT_FALSE(again->retryTimerRunning());
    EXPECT_FALSE(again->info()->readed_);

    // Interactive ids that cannot name a file are dropped; the item still finishes. Every page
    // names "fine", which arrives only after all pages: each page takes it then.
    service.setFault("/content/NP02-240301/INTERACTIVE_fine.jpg", demo::Fault::stall());
    auto hostile = user->magazineIssueContextWithInfo(issueRecord("NP02-240301", "Newspaper"));
    auto picky = std::make_shared<IssueWatcher>();
    picky->extraIds = {"../x", "a/b", "", "..", "fine"};
    hostile->setDelegate(picky);
    hostile->startLoadingAllPages();
    plat::RunLoop::current().runUntil(
        [&] { return hostile->finishedPageCount() == 24 && service.stalledCount() == 1; }, 30);
    EXPECT_FALSE(hostile->info()->finished_);
    service.releaseStalled();
    plat::RunLoop::current().runUntil([&] { return hostile->info()->finished_; }, 30);
    EXPECT_TRUE(hostile->info()->finished_);
    EXPECT_EQ(hostile->pageContextWithSourcePageIndex(0)->interactiveFileIds(),
              (std::set<std::string>{"fine"}));
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(VnBookStoreContext::storageRootPath()))
        EXPECT_EQ(entry.path().string().find("/x"), std::string::npos) << entry.path();

    EXPECT_EQ(VnMagazineIssueContext::coverImageSizeForOriginalSize({0, 0}, {100, 100}), VnSize{});
    EXPECT_EQ(VnMagazineIssueContext::coverImageSizeForOriginalSize({200, 100}, {100, 100}),
              (VnSize{100, 50}));
}

TEST_F(IssueContextTest, AfterARestartFinishedPagesComeFromTheCacheAndAPartialPageResumes) {
    // Page 5 arrives a byte at a time; the context is released while it is partly there.
    service.setFault("/content/NP02-240301/PAGE_5.pdf", demo::Fault::drip(0.002));
    auto user = context->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(issueRecord("NP02-240301", "Newspaper"));
    auto watcher = std::make_shared<IssueWatcher>();
    issue->setDelegate(watcher);
    issue->startLoadingAllPages();
    plat::RunLoop::current().runUntil([&] { return issue->finishedPageCount() == 23; }, 30);
    ASSERT_EQ(issue->finishedPageCount(), 23U);
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);
    issue->cancelLoading();
    issue.reset();
    const auto partial = std::filesystem::path(
        user->cachedAssetWithId(VnContentAssetId::idWithMagazineIssueCode("NP02-240301", "5", 2, 0))
            ->filePath()
            .string() +
        ".tmp");
    ASSERT_TRUE(std::filesystem::exists(partial));
    const auto kept = std::filesystem::file_size(partial);
    ASSERT_GT(kept, 0U);

    // A restart: new contexts on the same home.
    service.clearFaults();
    service.clearRequests();
    context.reset();
    context = makeContext();
    auto again = loadWholeNewspaper(watcher);
    ASSERT_TRUE(again->info()->finished_);
    std::vector<std::string> pageGets;
    std::string range;
    for (const auto& r : service.requests()) {
        if (r.path.find("/PAGE_") == std::string::npos)
            continue;
        pageGets.push_back(r.path);
        if (r.path.find("PAGE_5.pdf") != std::string::npos)
            range = r.header("Range");
    }
    EXPECT_EQ(pageGets.size(), 1U);  // only the partial page
    EXPECT_EQ(range, "bytes=" + std::to_string(kept) + "-");
    const auto bytes = again->contentAssetWithSourcePageIndex(5)->data();
    const auto expected =
        demo::demoContent(demo::demoContentPath("NP02-240301", "PAGE", "PDF", "5"));
    ASSERT_TRUE(bytes && expected);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), expected->first);
}

TEST_F(IssueContextTest, LoadingCancelledWhileFilesAreLocatedQueuesNoPage) {
    auto issue = context->activeUserContext()->magazineIssueContextWithInfo(
        issueRecord("NP02-240301", "Newspaper"));
    // First while the metadata file is located (its request goes on, and it arrives), then,
    // with the metadata at hand, while the pages are.
    for (const char* located : {"the metadata", "the pages"}) {
        service.setFault("GetAssetFiles", demo::Fault::stall());
        issue->startLoadingAllPages();
        ASSERT_TRUE(
            plat::RunLoop::current().runUntil([&] { return service.stalledCount() == 1; }, 30))
            << located;
        const size_t locations = calls("GetAssetFiles");
        // The pages' locating request, which the cancel stops; none while the metadata's file is
        // located (the metadata's request goes on).
        const auto locating = issue->assetFileUrlRequest();
        issue->cancelLoading();
        service.clearFaults();
        service.releaseStalled();
        // The answer would have queued the pages at once, or located them first. Nothing comes
        // after it has been handled: the metadata's is once the metadata is at hand (in the same
        // turn of the loop), and a request that no longer runs delivers nothing more.
        ASSERT_TRUE(plat::RunLoop::current().runUntil(
            [&] {
                return locating ? !locating->running() : issue->contentRenderingMetadataAvailable();
            },
            30))
            << located;
        EXPECT_EQ(calls("GetAssetFiles"), locations) << located;
        EXPECT_TRUE(issue->pageRequestManager()->queuedRequests().empty()) << located;
        EXPECT_FALSE(issue->downloading()) << located;
    }
    EXPECT_TRUE(issue->contentRenderingMetadataAvailable());
}

TEST_F(IssueContextTest, WithEveryPageLocatedOnlyTheInteractiveFilesAreLocated) {
    auto watcher = std::make_shared<IssueWatcher>();
    auto issue = loadWholeNewspaper(watcher);
    ASSERT_TRUE(issue->info()->finished_);
    auto user = context->activeUserContext();
    // The interactive files are forgotten (location and file); the pages stay.
    std::set<std::string> fileIds;
    for (int32_t i = 0; i < 24; ++i) {
        const auto& ids = issue->pageContextWithSourcePageIndex(i)->interactiveFileIds();
        fileIds.insert(ids.begin(), ids.end());
    }
    ASSERT_FALSE(fileIds.empty());
    for (const auto& fileId : fileIds) {
        const auto id = issue->interactiveContentAssetIdWithFileId(fileId);
        VnContentAssetRequest::removeGlobalFileInfoForAssetId(id);
        std::filesystem::remove(user->cachedAssetWithId(id)->filePath());
    }
    issue->cancelLoading();
    issue.reset();
    context.reset();
    context = makeContext();
    service.clearRequests();
    auto again = loadWholeNewspaper(watcher);
    ASSERT_TRUE(again->info()->finished_);
    user = context->activeUserContext();
    // One location call, for the interactive files alone, and each of them read from it.
    const auto located = service.requestsForMethod("GetAssetFiles");
    ASSERT_EQ(located.size(), 1U);
    EXPECT_NE(located[0].body.find("INTERACTIVE"), std::string::npos);
    EXPECT_EQ(located[0].body.find("\"PAGE\""), std::string::npos) << located[0].body;
    for (const auto& fileId : fileIds)
        EXPECT_TRUE(
            user->isContentAssetAvaiableWithId(again->interactiveContentAssetIdWithFileId(fileId)))
            << fileId;

    // The image hooks reach the page's delegate when a caller uses them.
    auto page = again->pageContextWithSourcePageIndex(2);
    page->setDelegate(watcher);
    page->_didFinishLoadingFullPageImage();
    page->_didFinishLoadingSmallThumbnailImage();
    page->_didFinishLoadingSmallThumbnailImage();
    EXPECT_EQ(watcher->fullImages, 1);
    EXPECT_EQ(watcher->thumbnails, 2);
}

TEST_F(IssueContextTest, FailedMetadataAndPagesAreAskedForAgainOnTheRetryTimer) {
    auto clock = std::make_shared<plat::VirtualClock>();
    clock->setAutoAdvance(false);
    plat::RunLoop::current().setClock(clock);
    auto user = context->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(issueRecord("NP02-240301", "Newspaper"));
    auto watcher = std::make_shared<IssueWatcher>();
    issue->setDelegate(watcher);
    demo::Fault once = demo::Fault::htmlStatus(500);
    once.calls = 1;
    service.setFault("/content/NP02-240301/XML_0.xml", once);
    service.setFault("/content/NP02-240301/PAGE_3.pdf", once);
    demo::Fault locations = once;  // the second location call: every page's
    locations.afterCalls = 1;
    service.setFault("GetAssetFiles", locations);
    auto gets = [&](const std::string& name) {
        size_t n = 0;
        for (const auto& r : service.requests())
            n += r.path.find(name) != std::string::npos;
        return n;
    };

    issue->startLoadingAllPages();
    // The metadata's failure arms the retry timer; while the clock stands still it is not asked
    // for again.
    ASSERT_TRUE(plat::RunLoop::current().runUntil(
        [&] { return gets("XML_0.xml") >= 1 && issue->retryTimerRunning(); }, 30));
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(gets("XML_0.xml"), 1U);
    EXPECT_TRUE(issue->downloading());
    // Each tick re-asks what failed; downloads cut short by the clock's jumps are retried too.
    for (int tick = 0; tick < 60 && !issue->info()->finished_; ++tick) {
        clock->advance(VnMagazineIssueContext::kRetryInterval);
        plat::RunLoop::current().runUntil([&] { return issue->info()->finished_; }, 1.5);
    }
    plat::RunLoop::current().setClock(nullptr);
    ASSERT_TRUE(issue->info()->finished_);
    EXPECT_GE(gets("XML_0.xml"), 2U);
    EXPECT_GE(gets("PAGE_3.pdf"), 2U);
    EXPECT_GE(calls("GetAssetFiles"), 3U);
    EXPECT_FALSE(issue->retryTimerRunning());
}

TEST_F(IssueContextTest, BrokenAndHostileContentFallsBackAndStaysInTheItemsFolder) {
    using demo::ContentVariant;
    auto user = context->activeUserContext();
    int n = 0;
    for (auto variant :
         {ContentVariant::Binary, ContentVariant::TruncatedBinary, ContentVariant::PagesAsList,
          ContentVariant::WrongTypes, ContentVariant::Hostile}) {
        SCOPED_TRACE(n);
        demo::SampleItem item;
        item.code = "HX0" + std::to_string(++n);
        item.kind = demo::ItemKind::MagazineIssue;
        item.pageCount = 8;
        item.content = variant;
        ASSERT_TRUE(catalogue.addItem(item));
        auto issue = user->magazineIssueContextWithInfo(issueRecord(item.code));
        auto watcher = std::make_shared<IssueWatcher>();
        issue->setDelegate(watcher);
        issue->startLoadingAllPages();
        plat::RunLoop::current().runUntil([&] { return issue->info()->finished_; }, 20);
        ASSERT_TRUE(issue->info()->finished_);
        EXPECT_EQ(issue->finishedPageCount(), 8U);
        auto page = [&](int32_t index) {
            return issue->pageContextWithSourcePageIndex(index)->renderingInfo();
        };
        switch (variant) {
            case ContentVariant::Binary:
                EXPECT_EQ(page(0)->pageName(), "P1");
                EXPECT_EQ(page(0)->singlePageAlignment(), 1);
                EXPECT_EQ(page(1)->pageInsets(), (VnEdgeInsets{4, 0, 4, 0}));
                EXPECT_EQ(page(2)->widgetDictionaries()->count(), 1U);
                EXPECT_TRUE(
                    issue->pageContextWithSourcePageIndex(5)->interactiveAssetWithId("img5"));
                break;
            case ContentVariant::TruncatedBinary:
            case ContentVariant::PagesAsList:
                EXPECT_EQ(page(0)->pageName(), "*0");
                EXPECT_EQ(page(7)->pageName(), "*7");
                break;
            case ContentVariant::WrongTypes:
                EXPECT_EQ(page(0)->pageName(), "*0");
                EXPECT_EQ(page(1)->pageInsets(), VnEdgeInsets{});
                EXPECT_EQ(page(2)->singlePageAlignment(), 99);
                EXPECT_EQ(page(2)->doublePageAlignment(), 99);
                EXPECT_FALSE(page(3)->pageName());
                EXPECT_FALSE(page(3)->widgetDictionaries());
                EXPECT_FALSE(page(4)->pageName());
                EXPECT_EQ(page(5)->pageInsets(), VnEdgeInsets{});
                break;
            case ContentVariant::Hostile:
            default:
                // Sides a float cannot hold are 0; the page list's bad entries are dropped.
                EXPECT_EQ(page(1)->pageInsets(), (VnEdgeInsets{-40, 0, 0, 0}));
                EXPECT_EQ(issue->info()->pageArray_->count(), 8U);
                EXPECT_EQ(issue->pageContextWithSourcePageIndex(5)->interactiveFileIds(),
                          (std::set<std::string>{"img5"}));
                break;
        }
    }
    // Nothing named by the replies or the metadata made a file of its own, anywhere.
    const auto home = std::filesystem::path(VnBookStoreContext::storageRootPath()).parent_path();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.find("escape") == std::string::npos && name != "b" && name != "-1")
            << entry.path();
    }
}

TEST_F(IssueContextTest, AFailingInteractiveFileIsRetriedUntilThePageCancels) {
    auto clock = std::make_shared<plat::VirtualClock>();
    clock->setAutoAdvance(false);
    plat::RunLoop::current().setClock(clock);
    service.setFault("/content/NP02-240301/INTERACTIVE_img5.jpg", demo::Fault::htmlStatus(500));
    auto user = context->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(issueRecord("NP02-240301", "Newspaper"));
    auto watcher = std::make_shared<IssueWatcher>();
    watcher->extraIds = {"img5"};  // the metadata is not loaded: the page names its file here
    issue->setDelegate(watcher);
    auto page = issue->pageContextWithSourcePageIndex(5);
    auto gets = [&] {
        size_t count = 0;
        for (const auto& r : service.requests())
            count += r.path.find("INTERACTIVE_img5") != std::string::npos;
        return count;
    };
    page->startLoading();
    plat::RunLoop::current().runUntil([&] { return gets() == 1; }, 5);
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(gets(), 1U);
    EXPECT_TRUE(page->interactiveDownloading());
    for (size_t round = 2; round <= 3; ++round) {
        clock->advance(VnMagazineIssuePageContext::kInteractiveRetryInterval);
        plat::RunLoop::current().runUntil([&] { return gets() == round; }, 5);
        plat::RunLoop::current().runUntil([] { return false; }, 0.3);
        EXPECT_EQ(gets(), round);
    }
    page->cancelLoading();
    clock->advance(3 * VnMagazineIssuePageContext::kInteractiveRetryInterval);
    plat::RunLoop::current().runUntil([] { return false; }, 0.5);
    plat::RunLoop::current().setClock(nullptr);
    EXPECT_EQ(gets(), 3U);
    EXPECT_FALSE(page->interactiveAssetWithId("img5"));
}

}  // namespace

PLAT_DEFINE_CLASS(IssueWatcher, plat::Object, [](auto& c) {
    c.method("magazineIssueContextWillStartLoading:", &IssueWatcher::willStart)
        .method("magazineIssueContext:pageAvalable:", &IssueWatcher::pageAvailable)
        .method("magazineIssueContextDidFinishLoadingPageInfos:", &IssueWatcher::pageInfos)
        .method("magazineIssueContextDidFinishLoadingInteractive:", &IssueWatcher::interactiveDone)
        .method("magazineIssueContext:interactiveAssetFilesForRenderingInfo:",
                &IssueWatcher::interactiveFiles)
        .method("pageContext:loadingProgress:", &IssueWatcher::progress)
        .method("pageContextDidFinishLoadingFullPageImage:", &IssueWatcher::fullImage)
        .method("pageContextDidFinishLoadingSmallThumbnailImage:", &IssueWatcher::thumbnail);
})

TEST_F(IssueContextTest, TheMetadataIsReadOnAWorkerOnceItArrivesAndNeverAwaitedUnstarted) {
    auto watcher = std::make_shared<IssueWatcher>();
    auto issue = loadWholeNewspaper(watcher);
    ASSERT_TRUE(issue->info()->finished_);
    const auto path = issue->userContext()
                          ->contentAssetWithId(issue->contentRenderingMetadataAssetId())
                          ->filePath();
    const auto bytes = plat::AtomicFile::read(path, size_t{64} << 20);
    ASSERT_TRUE(bytes);
    const plat::Value fromFile = plat::PropertyList::propertyListWithData(*bytes, nullptr, nullptr);
    ASSERT_FALSE(fromFile.isNil());
    EXPECT_TRUE(issue->contentRenderingMetadata().equals(fromFile));

    // Every worker busy: a read prepared now has not started when the reader asks, and is made
    // on the asking thread instead of being waited for.
    struct Workers {
        std::mutex mutex;
        std::condition_variable changed;
        int started = 0;
        bool release = false;
    };
    const auto workers = std::make_shared<Workers>();
    struct Release {
        std::shared_ptr<Workers> workers;
        ~Release() {
            std::lock_guard lock(workers->mutex);
            workers->release = true;
            workers->changed.notify_all();
        }
    } releaseAtEnd{workers};
    for (int i = 0; i < 64; ++i) {
        plat::DispatchQueue::global()->async([workers] {
            std::unique_lock lock(workers->mutex);
            ++workers->started;
            workers->changed.notify_all();
            workers->changed.wait(lock, [&] { return workers->release; });
        });
    }
    {
        std::unique_lock lock(workers->mutex);
        ASSERT_TRUE(workers->changed.wait_for(lock, std::chrono::seconds(10),
                                              [&] { return workers->started == 64; }));
    }
    auto again = VnMagazineIssueContext::make(issue->userContext(), issue->info());
    again->prepareRenderingMetadata();
    EXPECT_TRUE(again->contentRenderingMetadata().equals(fromFile));
}

// Asked at every moment of the worker's read (not started, under way, done), the reader gets the
// whole list once, from the worker or from its own read, never a part of it.
TEST_F(IssueContextTest, TheMetadataIsHandedOverWholeWheneverTheReaderAsks) {
    auto watcher = std::make_shared<IssueWatcher>();
    auto issue = loadWholeNewspaper(watcher);
    ASSERT_TRUE(issue->info()->finished_);
    const plat::Value whole = issue->contentRenderingMetadata();
    ASSERT_FALSE(whole.isNil());
    for (int round = 0; round < 60; ++round) {
        auto again = VnMagazineIssueContext::make(issue->userContext(), issue->info());
        again->prepareRenderingMetadata();
        // A little more work each round before asking, so that the asks fall at every stage.
        volatile int busy = 0;
        for (int i = 0; i < round * 2000; ++i)
            busy = busy + 1;
        ASSERT_TRUE(again->contentRenderingMetadata().equals(whole)) << round;
        EXPECT_TRUE(again->contentRenderingMetadata().equals(whole)) << round;
    }
}
