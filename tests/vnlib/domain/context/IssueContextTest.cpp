// Whole-issue downloads against the demo service: page list, metadata, locations, pages in
// reading order at most four at a time, interactive files, the finished mark.
#include <gtest/gtest.h>

#include "ContextTestSupport.h"
#include "demo-service/DemoCovers.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"

using demo::Json;

namespace {

class IssueWatcher : public plat::Object {
    PLAT_CLASS(IssueWatcher)
  public:
    void willStart(Ref<plat::Object>) { ++starts; }
    void pageAvailable(Ref<plat::Object>, int32_t index) { pages.push_back(index); }
    void pageInfos(Ref<plat::Object>) { ++pageInfoLoads; }
    void interactiveDone(Ref<plat::Object>) { ++interactiveFinishes; }
    // The files the page's widgets name.
    plat::Value interactiveFiles(Ref<plat::Object>, Ref<VnMagazineIssuePageRenderingInfo> info) {
        std::vector<plat::Value> ids;
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
    int starts = 0, pageInfoLoads = 0, interactiveFinishes = 0, progressReports = 0;
    std::vector<int32_t> pages;
};

Ref<VnMagazineIssueInfo> item(const std::string& code) {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(code);
    info->type_ = "Newspaper";
    return info;
}

using IssueContextTest = ContextTest;

TEST_F(IssueContextTest, AWholeIssueArrivesInReadingOrderAndIsMarkedFinished) {
    auto user = context->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(item("NP01-240302"));
    auto watcher = std::make_shared<IssueWatcher>();
    issue->setDelegate(watcher);
    for (int i = 0; i < 24; ++i)
        issue->pageContextWithSourcePageIndex(i)->setDelegate(watcher);
    issue->startLoadingAllPages();
    EXPECT_TRUE(issue->downloading());
    size_t mostRunning = 0;
    plat::RunLoop::current().runUntil(
        [&] {
            mostRunning =
                std::max(mostRunning, issue->pageRequestManager()->activeRequests().size());
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

    // Page files were asked for in reading order: the last file is read first here.
    std::vector<std::string> asked;
    for (const auto& r : service.requests()) {
        if (r.path.find("/PAGE_") != std::string::npos)
            asked.push_back(r.path.substr(r.path.find("PAGE_")));
    }
    ASSERT_EQ(asked.size(), 24U);
    EXPECT_EQ(asked.front(), "PAGE_23.pdf");
    EXPECT_EQ(asked[1], "PAGE_0.pdf");

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
    auto again = user->magazineIssueContextWithInfo(item("NP01-240302"));
    again->setDelegate(watcher);
    again->startLoadingAllPages();
    plat::RunLoop::current().runUntil([&] { return again->info()->finished_; }, 10);
    EXPECT_TRUE(again->info()->finished_);
    EXPECT_EQ(calls("GetBookPages"), 0U);
    EXPECT_EQ(again->finishedPageCount(), 24U);

    EXPECT_EQ(VnMagazineIssueContext::coverImageSizeForOriginalSize({0, 0}, {100, 100}), VnSize{});
    EXPECT_EQ(VnMagazineIssueContext::coverImageSizeForOriginalSize({200, 100}, {100, 100}),
              (VnSize{100, 50}));
}

TEST_F(IssueContextTest, FailedMetadataAndPagesAreAskedForAgainOnTheRetryTimer) {
    auto clock = std::make_shared<plat::VirtualClock>();
    clock->setAutoAdvance(false);
    plat::RunLoop::current().setClock(clock);
    auto user = context->activeUserContext();
    auto issue = user->magazineIssueContextWithInfo(item("NP02-240301"));
    auto watcher = std::make_shared<IssueWatcher>();
    issue->setDelegate(watcher);
    demo::Fault once = demo::Fault::htmlStatus(500);
    once.calls = 1;
    service.setFault("/content/NP02-240301/XML_0.xml", once);
    service.setFault("/content/NP02-240301/PAGE_3.pdf", once);
    auto gets = [&](const std::string& name) {
        size_t n = 0;
        for (const auto& r : service.requests())
            n += r.path.find(name) != std::string::npos;
        return n;
    };

    issue->startLoadingAllPages();
    plat::RunLoop::current().runUntil([] { return false; }, 0.5);
    EXPECT_EQ(gets("XML_0.xml"), 1U);  // failed, and not asked for again at once
    EXPECT_TRUE(issue->downloading());
    EXPECT_TRUE(issue->retryTimerRunning());
    for (int tick = 0; tick < 6 && !issue->info()->finished_; ++tick) {
        clock->advance(VnMagazineIssueContext::kRetryInterval);
        plat::RunLoop::current().runUntil([&] { return issue->info()->finished_; }, 3);
    }
    plat::RunLoop::current().setClock(nullptr);
    ASSERT_TRUE(issue->info()->finished_);
    EXPECT_EQ(gets("XML_0.xml"), 2U);
    EXPECT_EQ(gets("PAGE_3.pdf"), 2U);
    EXPECT_FALSE(issue->retryTimerRunning());
}

}  // namespace

PLAT_DEFINE_CLASS(IssueWatcher, plat::Object, [](auto& c) {
    c.method("magazineIssueContextWillStartLoading:", &IssueWatcher::willStart)
        .method("magazineIssueContext:pageAvalable:", &IssueWatcher::pageAvailable)
        .method("magazineIssueContextDidFinishLoadingPageInfos:", &IssueWatcher::pageInfos)
        .method("magazineIssueContextDidFinishLoadingInteractive:", &IssueWatcher::interactiveDone)
        .method("magazineIssueContext:interactiveAssetFilesForRenderingInfo:",
                &IssueWatcher::interactiveFiles)
        .method("pageContext:loadingProgress:", &IssueWatcher::progress);
})
