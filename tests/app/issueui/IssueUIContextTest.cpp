// The issue's UI context: pages by presentation index, source index and name, spreads, rendering
// defaults, reading settings per member, relayed loading notices and the files a page needs, and
// the page-image queue stopped and resumed by the background and foreground notices.
#include "IssueUITestSupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/WidgetFactory.h"
#include "platform/core/Exception.h"
#include "vnlib/dev/request/VnRequestManager.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

using namespace issueui_test;

namespace {

class IssueUIListener : public plat::Object {
    PLAT_CLASS(IssueUIListener)
  public:
    void pageAvailable(Ref<plat::Object> issue, int32_t index) {
        notices.push_back("page " + std::to_string(index));
        sender = issue;
    }
    void progressChanged(Ref<plat::Object>) { notices.push_back("progress"); }
    void interactiveDone(Ref<plat::Object>) { notices.push_back("interactive"); }
    std::vector<std::string> notices;
    Ref<plat::Object> sender;
};

}  // namespace

PLAT_DEFINE_CLASS(IssueUIListener, plat::Object, [](auto& c) {
    c.method("magazineIssueContext:pageAvalable:", &IssueUIListener::pageAvailable)
        .method("magazineIssueUIContextPageDownloadProgressChange:",
                &IssueUIListener::progressChanged)
        .method("magazineIssueContextDidFinishLoadingInteractive:",
                &IssueUIListener::interactiveDone);
})

using IssueUIContextTest = IssueUITest;

TEST_F(IssueUIContextTest, SpreadsAlignmentsAndTheContentsPage) {
    // No "HasSingleCoverPage": a single cover. The contents page (source 3) stands at 5 and 2.
    auto issue = makeIssue("MG-1", "Magazine", {{0, 0}, {1, 1}, {2, 3}, {3, 5}, {3, 2}, {4, 4}});
    cacheMetadata(issue, dict({{"TableOfContentPageName", "Contents"},
                               {"DefaultDoublePageAlignment", "3"},
                               {"Pages", dict({{"3", dict({{"PageName", "Contents"}})},
                                               {"1", dict({{"PageName", "Contents"}})}})}}));
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    EXPECT_EQ(issue->delegate(), ui);
    EXPECT_TRUE(ui->renderingInfo()->hasSingleCoverPage());
    EXPECT_EQ(ui->renderingInfo(), ui->renderingInfo());
    // Source 1 is named so too but is looked at first: its one presentation index wins.
    EXPECT_EQ(ui->renderingInfo()->tableOfContentPresentationPageIndex(), 1);
    EXPECT_EQ(ui->renderingInfo()->defaultDoublePageAlignment(), 3);
    EXPECT_EQ(ui->renderingInfo()->defaultSinglePageAlignment(), 0);
    EXPECT_EQ(ui->presentationPairPageForIndex(0), -1);
    EXPECT_EQ(ui->presentationPairPageForIndex(1), 2);
    EXPECT_EQ(ui->presentationPairPageForIndex(2), 1);
    EXPECT_EQ(ui->presentationPairPageForIndex(-2), -3);  // a negative odd sum is odd
    EXPECT_EQ(ui->pageHorizontalAlignmentForPresentationIndex(0), 1);
    EXPECT_EQ(ui->pageHorizontalAlignmentForPresentationIndex(1), 2);
    EXPECT_EQ(ui->pageHorizontalAlignmentForPresentationIndex(2), 0);

    // Without a single cover; the contents page stands at 5 and 2: the smallest index is taken.
    auto open = makeIssue("MG-2", "Magazine", {{0, 0}, {1, 1}, {3, 5}, {3, 2}});
    cacheMetadata(open, dict({{"HasSingleCoverPage", no()},
                              {"TableOfContentPageName", "Contents"},
                              {"TableOfContentPresentationPageIndex", 9},
                              {"Pages", dict({{"3", dict({{"PageName", "Contents"}})}})}}));
    auto openUI = MagazineIssueUIContext::initWithContext(open);
    EXPECT_EQ(openUI->presentationPairPageForIndex(0), 1);
    EXPECT_EQ(openUI->presentationPairPageForIndex(1), 0);
    EXPECT_EQ(openUI->pageHorizontalAlignmentForPresentationIndex(0), 2);
    EXPECT_EQ(openUI->pageHorizontalAlignmentForPresentationIndex(1), 0);
    EXPECT_EQ(openUI->renderingInfo()->tableOfContentPresentationPageIndex(), 2);

    // Without a matching page the loaded index stays; without metadata the defaults hold.
    auto unmatched = makeIssue("MG-3", "Magazine", {{0, 0}});
    cacheMetadata(unmatched, dict({{"TableOfContentPageName", "None"},
                                   {"TableOfContentPresentationPageIndex", 9}}));
    EXPECT_EQ(MagazineIssueUIContext::initWithContext(unmatched)
                  ->renderingInfo()
                  ->tableOfContentPresentationPageIndex(),
              9);
    auto bare = MagazineIssueUIContext::initWithContext(makeIssue("MG-4", "Magazine", {{0, 0}}));
    EXPECT_TRUE(bare->renderingInfo()->hasSingleCoverPage());
    EXPECT_FALSE(bare->readyForDisplay());

    // The assertion names the parameter.
    try {
        MagazineIssueUIContext::initWithContext(nullptr);
        ADD_FAILURE() << "a null issue context was taken";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.reason(), "Invalid parameter not satisfying: context");
    }
}

TEST_F(IssueUIContextTest, PagesByPresentationIndexSourceIndexAndName) {
    auto issue = makeIssue("MG-5", "Magazine", {{0, 0}, {1, 1}, {2, 3}, {2, 7}, {3, 2}});
    cacheMetadata(issue, dict({{"Pages", dict({{"1", dict({{"PageName", "Intro"}})},
                                               {"2", dict({{"PageName", "Twice"}})},
                                               {"3", dict({{"PageName", "Intro"}})}})}}));
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    EXPECT_EQ(ui->presentationPageCount(), 5);
    EXPECT_EQ(ui->presentationIndicesForSourceIndex(2), (std::set<int32_t>{3, 7}));
    EXPECT_FALSE(ui->presentationIndicesForSourceIndex(9).has_value());
    auto twice = ui->pageContextAtPresentationIndex(3);
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice, ui->pageContextAtPresentationIndex(7));
    EXPECT_EQ(twice, ui->pageContextAtSourceIndex(2));
    EXPECT_EQ(twice->pageContext()->sourcePageIndex(), 2);
    EXPECT_EQ(twice->magazineIssueUIContext(), ui);
    EXPECT_EQ(ui->pageContextsForSourceIndex(2).size(), 2U);
    EXPECT_TRUE(ui->pageContextsForSourceIndex(9).empty());
    EXPECT_FALSE(ui->pageContextAtPresentationIndex(4));
    EXPECT_FALSE(ui->pageContextAtPresentationIndex(-1));
    // Of two pages of one name the one at the later presentation index wins (source 3 at 2).
    EXPECT_EQ(ui->pageContextForPageName("Twice"), twice);
    EXPECT_EQ(ui->pageContextForPageName("Intro"), ui->pageContextAtSourceIndex(3));
    EXPECT_FALSE(ui->pageContextForPageName("Nowhere"));
    EXPECT_EQ(ui->allActivePageContexts().size(), 4U);
    EXPECT_FALSE(ui->allPresentationPagesAvailable());
    EXPECT_FLOAT_EQ(ui->pageDownloadProgress(), 0.0f);
    EXPECT_TRUE(ui->readyForDisplay());

    // Captions and library links.
    issue->info()->setIssueName("March");
    EXPECT_EQ(ui->readerCaptionText(), "March");
    issue->info()->setMagazineName("Cooking");
    EXPECT_EQ(ui->readerCaptionText(), "Cooking - March");
    EXPECT_EQ(ui->issueLibraryUriWithReader(false),
              "varnel.kel://library/magazine/issue?id=MG-5&download=1");
    auto book = makeIssue("123", "Book", {{0, 0}});
    book->info()->setIssueName("Novel");
    book->info()->setMagazineName("Series");
    auto bookUI = MagazineIssueUIContext::initWithContext(book);
    EXPECT_EQ(bookUI->readerCaptionText(), "Novel");
    EXPECT_EQ(bookUI->issueLibraryUriWithReader(true),
              "varnel.kel://library/book/issue?id=123&download=1&view=1");

    // No page list: nothing to find, no pages done, and a progress of 0 (not a division by 0).
    auto empty = MagazineIssueUIContext::initWithContext(makeIssue("MG-6", "Magazine", {}));
    EXPECT_EQ(empty->presentationPageCount(), 0);
    EXPECT_FALSE(empty->pageContextAtPresentationIndex(0));
    EXPECT_FALSE(empty->pageContextForPageName("Intro"));
    EXPECT_FALSE(empty->presentationIndicesForSourceIndex(0).has_value());
    EXPECT_FLOAT_EQ(empty->pageDownloadProgress(), 0.0f);
    EXPECT_TRUE(empty->allPresentationPagesAvailable());
    EXPECT_FALSE(empty->readyForDisplay());
}

TEST_F(IssueUIContextTest, ReadingSettingsAreThePerMemberStoreWrittenAtOnce) {
    auto issue = makeIssue("MG-7", "Magazine", {{0, 0}});
    {
        auto ui = MagazineIssueUIContext::initWithContext(issue);
        EXPECT_EQ(ui->userLastViewedPageIndex(), 0);
        EXPECT_FALSE(ui->userIsSinglePage());
        ui->persistUserLastViewedPageIndex(7);
        ui->persistUserIsViewSinglePage(true);
        ui->persistUserIsViewLockRotate(true);
        ui->persistUserDisplayMode(3);
        EXPECT_EQ(ui->userLastViewedPageIndex(), 7);
        EXPECT_EQ(ui->lastViewedPageIndexKeyName(),
                  VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(issue->info()));
    }
    const auto storage = user->userStorage();
    EXPECT_EQ(storage->objectForKey("MG-7/LastViewedPageIndex").intValue(), 7);
    EXPECT_TRUE(storage->objectForKey("MG-7/IsViewLockRotae").boolValue());
    EXPECT_EQ(storage->objectForKey("MG-7/DisplayMode").intValue(), 3);

    auto again = MagazineIssueUIContext::initWithContext(makeIssue("MG-7", "Magazine", {{0, 0}}));
    EXPECT_EQ(again->userLastViewedPageIndex(), 7);
    EXPECT_TRUE(again->userIsSinglePage());
    EXPECT_TRUE(again->userIsLockRotate());
    EXPECT_EQ(again->userDisplayMode(), 3);

    // Another member's settings of the same issue are their own.
    auto other =
        VnBookStoreUserContext::make(context, VnUserId::userIdWithUserName("somchai"), false);
    auto theirs =
        MagazineIssueUIContext::initWithContext(makeIssue("MG-7", "Magazine", {{0, 0}}, other));
    EXPECT_EQ(theirs->userLastViewedPageIndex(), 0);
    theirs->persistUserLastViewedPageIndex(2);
    EXPECT_EQ(storage->objectForKey("MG-7/LastViewedPageIndex").intValue(), 7);

    // Values of the wrong type read 0.
    storage->setObject(plat::Value("5"), "MG-8/LastViewedPageIndex");
    storage->setObject(dict({}), "MG-8/DisplayMode");
    auto wrong = MagazineIssueUIContext::initWithContext(makeIssue("MG-8", "Magazine", {{0, 0}}));
    EXPECT_EQ(wrong->userLastViewedPageIndex(), 0);
    EXPECT_EQ(wrong->userDisplayMode(), 0);
}

TEST_F(IssueUIContextTest, RelaysLoadingNoticesAndCollectsThePageFiles) {
    WidgetFactory::unregisterAllWidgetClasses();
    registerIssueUIWidgetClasses();
    registerStandInWidgetClasses();
    WidgetFactory::registerWidgetClass(
        "AudioPlayerWidget",
        [](const plat::Dictionary&, const Ref<WidgetAssetManager>&) -> Ref<OverlayData> {
            throw plat::Exception("Broken", "x");
        });

    auto issue = makeIssue("MG-9", "Magazine", {{0, 0}, {1, 1}});
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    auto listener = std::make_shared<IssueUIListener>();
    // Without a delegate, and with one that answers nothing, notices go nowhere.
    ui->magazineIssueContext_pageAvalable(issue, 0);
    ui->setDelegate(std::make_shared<plat::Object>());
    ui->magazineIssueContext_pageAvalable(issue, 0);
    ui->setDelegate(listener);
    ui->magazineIssueContext_pageAvalable(issue, 1);
    ui->magazineIssueContextDidFinishLoadingInteractive(issue);
    plat::send(issue->delegate(), "magazineIssueContextWillStartLoading:", issue);
    EXPECT_EQ(listener->notices, (std::vector<std::string>{"page 1", "progress", "interactive"}));
    EXPECT_EQ(listener->sender, issue);

    auto info = std::make_shared<VnMagazineIssuePageRenderingInfo>(*widgetDictionary(
        {{"Widgets",
          list(
              {dict({{"WidgetType", "ImageWidget"},
                     {"ImageFileName", "photo"},
                     {"Subwidgets",
                      list({dict({{"WidgetType", "ItemHighlighter"}, {"FileName", "glow"}}),
                            dict({{"WidgetType", "EmailLink"}})})}}),
               dict({{"WidgetType", "SlideshowButton"}, {"ImageFileNames", list({"photo", "s1"})}}),
               dict({{"WidgetType", "AudioPlayer"}, {"AudioFileName", "tone.wav"}}),
               dict({{"WidgetType", "Unknown"}, {"ImageFileName", "never"}}),
               dict({{"WidgetType", "ItemHighlighter"}, {"FileName", "mark"}}), "text", 3})}}));
    auto ids = plat::send<plat::Value>(
        issue->delegate(), "magazineIssueContext:interactiveAssetFilesForRenderingInfo:", issue,
        info);
    std::set<std::string> collected;
    ASSERT_TRUE(ids.array());
    ids.array()->enumerate([&](const plat::Value& id) {
        collected.insert(id.stringOr("?"));
        return true;
    });
    EXPECT_EQ(collected, (std::set<std::string>{"photo", "glow", "s1", "mark"}));
    EXPECT_EQ(ids.array()->count(), 4U);
    EXPECT_EQ(ui->magazineIssueContext_interactiveAssetFilesForRenderingInfo(issue, nullptr)
                  .array()
                  ->count(),
              0U);
    WidgetFactory::unregisterAllWidgetClasses();
}

TEST_F(IssueUIContextTest, PageImageWorkStopsInTheBackgroundAndGoesOnInTheForeground) {
    auto issue = makeIssue("MG-8", "Magazine", {{0, 0}});
    auto ui = MagazineIssueUIContext::initWithContext(issue);
    const auto& queue = ui->imageRequestManager();
    // Requests that run until they are cancelled; one at a time.
    auto first = std::make_shared<VnRequestContext>();
    auto second = std::make_shared<VnRequestContext>();
    ui->enqueuePageRelatedRequest(first);
    ui->enqueuePageRelatedRequest(second);
    EXPECT_TRUE(first->running());
    EXPECT_FALSE(second->running());
    EXPECT_TRUE(ui->generatingThumbnails());

    // To the background: the running one stops and waits at the front; new work only queues.
    ui->applicationDidEnterBackgroundNotification(nullptr);
    EXPECT_FALSE(first->running());
    EXPECT_FALSE(queue->running());
    EXPECT_FALSE(ui->generatingThumbnails());
    auto third = std::make_shared<VnRequestContext>();
    ui->enqueuePageRelatedRequest(third);
    EXPECT_EQ(queue->queuedRequests(), (std::vector<Ref<VnRequestContext>>{first, second, third}));
    EXPECT_FALSE(queue->running());
    ui->applicationWillTerminateNotification(nullptr);
    EXPECT_EQ(queue->queuedRequests().size(), 3U);

    // Back: the queue goes on from its front; a second notice changes nothing.
    ui->applicationWillEnterForegroundNotification(nullptr);
    EXPECT_TRUE(first->running());
    EXPECT_EQ(queue->queuedRequests(), (std::vector<Ref<VnRequestContext>>{second, third}));
    ui->applicationWillEnterForegroundNotification(nullptr);
    EXPECT_EQ(queue->activeRequests(), std::vector<Ref<VnRequestContext>>{first});
    EXPECT_TRUE(ui->generatingThumbnails());
    ui->cancelLoading();
    EXPECT_FALSE(first->running());
    EXPECT_TRUE(queue->queuedRequests().empty());
}
