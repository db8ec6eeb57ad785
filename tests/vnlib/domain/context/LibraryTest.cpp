// The user context's content names, covers, page lists, single records, lists per key, local
// library, preferences and the transfer of the device library, against the demo service.
#include <gtest/gtest.h>

#include <fstream>

#include "ContextTestSupport.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/OperationQueue.h"
#include "platform/storage/FileManager.h"
#include "vnlib/domain/content/VnContentAssetId.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnDiscardedFiles.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/store/VnAuthorInfo.h"

using demo::Json;

namespace {

Ref<VnMagazineInfo> magazine(const std::string& code, const std::string& coverUrl = {}) {
    auto info = std::make_shared<VnMagazineInfo>();
    info->setCode(code);
    info->coverUrl_ = coverUrl;
    return info;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

using LibraryTest = ContextTest;

TEST_F(LibraryTest, CacheNamesAndPageListsComeFromTheItemsFolder) {
    auto user = context->activeUserContext();
    auto id = [](const char* code, const char* text, int32_t type, int32_t format, int w = 0,
                 int h = 0) {
        auto assetId = VnContentAssetId::idWithMagazineIssueCode(
            code ? std::optional<std::string>(code) : std::nullopt, text, type, format);
        assetId->setWidth(w);
        assetId->setHeight(h);
        return assetId;
    };
    EXPECT_EQ(VnBookStoreUserContext::cacheFileNameForAssetId(*id("X", "12", 2, 0)), "PAGE_PDF_12");
    EXPECT_EQ(VnBookStoreUserContext::cacheFileNameForAssetId(*id("X", "3", 3, 1, 240, 320)),
              "PAGEPREVIEW_JPG_3_240x320");
    EXPECT_EQ(VnBookStoreUserContext::cacheFileNameForAssetId(*id("X", "0", 4, 2, 0, 300)),
              "XML_XML_0");
    EXPECT_THROW(VnBookStoreUserContext::cacheFileNameForAssetId(*id("X", "1", 1, 0)),
                 plat::Exception);
    EXPECT_FALSE(user->cachedAssetWithId(id(nullptr, "1", 2, 0)));
    EXPECT_FALSE(user->isContentAssetAvaiableWithId(id(nullptr, "1", 2, 0)));
    EXPECT_EQ(user->cachedAssetWithId(id("MG01-2401", "12", 2, 0))->filePath().parent_path(),
              user->bookArchiveWithIssueInfo(issueRecord("MG01-2401"))->archivePath());

    // A stored page list answers on a later turn, in reading order, without the service.
    auto item = issueRecord("MG01-2401");
    std::vector<Ref<VnInfo>> pages;
    for (int i : {2, 0, 1}) {
        auto page = std::make_shared<VnPageInfo>();
        page->setCode(std::to_string(i));
        page->presentationPageIndex_ = i;
        pages.push_back(page);
    }
    auto table = user->pageDataTableForIssueInfo(item);
    table->replaceWithNewItems(pages);
    table->flushStorageWriting();
    service.clearRequests();
    auto local = user->requestForPageInfosWithMagazineIssueInfo(item);
    bool inCall = false;
    Ref<VnRequestResult> result;
    local->startWithDidFinishBlock([&](const Ref<VnRequestResult>& r, const plat::Value&) {
        result = r;
        inCall = true;
    });
    EXPECT_FALSE(inCall);
    plat::RunLoop::current().runUntil([&] { return result != nullptr; });
    auto snapshot = result->returnValue().as<VnUpdatedLocalSnapshot>();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(codesOf(snapshot->items()), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_FALSE(snapshot->hasUpdated());
    EXPECT_TRUE(service.requests().empty());
    // Without one: "GetBookPages" through the gate.
    auto remote = run(user->requestForPageInfosWithMagazineIssueInfo(issueRecord("MG01-2402")));
    ASSERT_TRUE(remote->succeed());
    ASSERT_TRUE(remote->returnValue().as<VnUpdatedLocalSnapshot>()) << remote->description();
    EXPECT_TRUE(remote->returnValue().as<VnUpdatedLocalSnapshot>()->hasUpdated());
    EXPECT_FALSE(remote->returnValue().as<VnUpdatedLocalSnapshot>()->items().empty());

    // Asset ids grouped by item, format and type into one call.
    service.clearRequests();
    run(user->requestForAssetWithMagazineIssueCode(
        "MG01-2401",
        {id("MG01-2401", "1", 2, 0), id("MG01-2401", "2", 2, 0), id("MG01-2401", "0", 4, 2)}));
    const auto calls = service.requestsForMethod("GetAssetFiles");
    ASSERT_EQ(calls.size(), 1U);
    const Json body = Json::parse(calls[0].body);
    ASSERT_EQ(body["assetRequests"].size(), 2U) << body.dump();
}

TEST_F(LibraryTest, CoversDownloadOnceDecodeOnceAndFailuresAddNothing) {
    auto user = context->activeUserContext();
    const std::string base = service.baseUrl();
    auto png = magazine("MG01", base + "/covers/MG01.png");
    auto results =
        runAll({user->requestForCoverWithMagazine(png),
                user->requestForCoverWithMagazine(magazine("MG01", base + "/covers/MG01.png"))});
    for (const auto& r : results)
        ASSERT_TRUE(r && r->succeed()) << (r ? r->description() : "none");
    size_t gets = 0;
    for (const auto& r : service.requests())
        gets += r.path == "/covers/MG01.png";
    EXPECT_EQ(gets, 1U);
    EXPECT_EQ(context->decodedImageCount(), 1U);
    ASSERT_TRUE(png->coverImage());
    EXPECT_EQ(png->coverImage()->width(), 120);

    auto jpeg = magazine("MG02", base + "/covers/MG02.jpg");
    ASSERT_TRUE(run(user->requestForCoverWithMagazine(jpeg))->succeed());
    ASSERT_TRUE(jpeg->coverImage());
    EXPECT_EQ(context->decodedImageCount(), 2U);

    auto missing = run(user->requestForCoverWithMagazine(magazine("NOPE", base + "/covers/x.gif")));
    EXPECT_FALSE(missing->succeed());
    EXPECT_EQ(context->decodedImageCount(), 2U);

    auto issue = issueRecord("MG01-2401");
    issue->coverUrl_ = base + "/covers/MG01-2401.jpg";
    auto cover = run(user->newCoverRequestWithIssueInfo(issue));
    ASSERT_TRUE(cover->succeed());
    EXPECT_EQ(cover->returnValue().as<VnMagazineIssueInfo>(), issue);
    ASSERT_TRUE(issue->fullResolutionCoverImageDataProvider());
    EXPECT_TRUE(
        std::filesystem::exists(user->cacheAssetForCoverWithMagazineIssueInfo(issue)->filePath()));
    EXPECT_THROW(user->contentAssetRequestForIssueInfo(issue, 2), plat::Exception);
    EXPECT_FALSE(user->contentAssetRequestForIssueInfo(issue, 1));
}

TEST_F(LibraryTest, SingleRecordsLatestIssueAndBackIssuesKeepTheirState) {
    auto user = context->activeUserContext();
    auto back = user->magazineIssueDomainWithMagazine(magazine("MG01"));
    EXPECT_EQ(back, user->magazineIssueDomainWithMagazine(magazine("MG01")));
    auto refresh = back->newDomainUpdatingRequest(nullptr);
    ASSERT_TRUE(run(refresh)->succeed());
    const auto before = back->items();
    ASSERT_EQ(before.size(), 3U);
    auto first = VnMagazineIssueInfoProxy::recordOf(before[0]);
    first->finished_ = true;
    back->notifyUserItemsAddOrUpdate({before[0]});
    back->flushUserInfoItemsWritingCache();

    // One issue fetched by code: stored, and the back-issue list keeps every item and state.
    auto single = run(user->requestForShopMagazineIssueInfoWithCode("MG01-2402"));
    ASSERT_TRUE(single->succeed());
    EXPECT_EQ(single->returnValue().as<VnMagazineIssueInfo>()->code(), "MG01-2402");
    back->clearItemsCache();
    const auto after = back->items();
    EXPECT_EQ(codesOf(after), codesOf(before));
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(VnSortIndexOf(after[i]), VnSortIndexOf(before[i]));
    EXPECT_TRUE(VnMagazineIssueInfoProxy::recordOf(after[0])->finished_);

    auto none = run(user->requestForShopMagazineIssueInfoWithCode("NO-SUCH"));
    ASSERT_FALSE(none->succeed());
    EXPECT_EQ(none->error()->domain(), "VNServerError");
    EXPECT_EQ(none->error()->code(), -1);

    auto latest = run(user->requestForLatestIssueWithMagazine(magazine("MG01")));
    ASSERT_TRUE(latest->succeed()) << latest->description();
    EXPECT_EQ(latest->returnValue().as<VnMagazineIssueInfo>()->code(), "MG01-2403");
}

TEST_F(LibraryTest, ListsPerKeyLocalLibraryPreferencesAndTransfer) {
    auto user = context->activeUserContext();
    auto all = user->magazineDomainWithCategory("");
    EXPECT_EQ(all->category(), "_ALL");
    EXPECT_EQ(user->magazineDomainWithCategory("abc"), user->magazineDomainWithCategory("abc"));
    EXPECT_EQ(user->magazineDomainWithCategory("abc")->category(), "ABC");
    EXPECT_NE(user->magazineDomainWithSearchKeyword("a/b:c")->dataTableName().find("Search.a_b_c"),
              std::string::npos);
    EXPECT_EQ(user->bookDomainWithSearchKeyword("x y/z")->persistentStorageTableName(),
              "Books..x_y_z");
    auto author = std::make_shared<VnAuthorInfo>();
    author->setFullName("X");
    EXPECT_EQ(user->bookDomainWithAuthor(author)->keyword(), "author:X");
    EXPECT_EQ(user->bookLibraryDomain()->persistentStorageTableName(), "Books._Libraries");

    // The library notification goes out for the library domains only.
    int posted = 0;
    auto observer = std::make_shared<plat::Object>();
    plat::NotificationCenter::defaultCenter().addObserver(
        observer, [&](const plat::Notification&) { ++posted; }, "VnUserLibraryDidUpdate");
    ASSERT_TRUE(run(user->libraryDomain()->newDomainUpdatingRequest(nullptr))->succeed());
    EXPECT_EQ(posted, 1);
    ASSERT_TRUE(run(user->categoryDomain()->newDomainUpdatingRequest(nullptr))->succeed());
    EXPECT_EQ(posted, 1);

    // Removing a downloaded item keeps its cover files and takes it off the shelf. The other
    // files leave the item's folder at once and are deleted later, off the main thread.
    auto item = VnMagazineIssueInfoProxy::recordOf(user->libraryDomain()->items().front());
    auto archive = user->bookArchiveWithIssueInfo(item);
    writeFile(archive->archivePath() / "cover.jpg", "c");
    writeFile(archive->archivePath() / "Cover_big.png", "C");
    writeFile(archive->archivePath() / "PAGE_PDF_1", "pdf");
    writeFile(archive->archivePath() / "EPUB" / "chapter.xhtml", "text");
    const auto& discarded = user->userStorage()->discardedFiles();
    discarded->deletions()->setSuspended(true);
    user->removeBookFromLocalLibrary(item);
    EXPECT_TRUE(std::filesystem::exists(archive->archivePath() / "cover.jpg"));
    EXPECT_TRUE(std::filesystem::exists(archive->archivePath() / "Cover_big.png"));
    EXPECT_FALSE(std::filesystem::exists(archive->archivePath() / "PAGE_PDF_1"));
    EXPECT_FALSE(std::filesystem::exists(archive->archivePath() / "EPUB"));
    EXPECT_FALSE(user->libraryDomain()->containsInfo(item));
    EXPECT_EQ(plat::FileManager::contentsOfDirectory(discarded->root()).size(), 1u)
        << "the files wait, moved aside, for their deletion";
    discarded->deletions()->setSuspended(false);
    discarded->deletions()->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(plat::FileManager::contentsOfDirectory(discarded->root()).empty());
    user->restoreBookToLocalLibrary(item);
    EXPECT_TRUE(user->libraryDomain()->containsInfo(item));

    // Preferences survive a restart.
    user->persistUserIsViewSinglePage(true);
    user->persistUserDisplayMode(3);
    context.reset();
    context = makeContext();
    user = context->activeUserContext();
    EXPECT_TRUE(user->userIsSinglePage());
    EXPECT_EQ(user->userDisplayMode(), 3);
    EXPECT_FALSE(user->userIsLockRotate());

    // A transfer moves only the device items the member lacks, and they stay after a restart.
    auto device = context->defaultUserContext();
    auto a = issueRecord("MG01-2401"), b = issueRecord("MG02-2402");
    device->libraryDomain()->notifyItemsAddOrUpdate({a, b});
    device->libraryDomain()->notifyUserItemsAddOrUpdate({a, b});
    device->libraryDomain()->flushUserInfoItemsWritingCache();
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    auto member = context->activeUserContext();
    member->libraryDomain()->notifyItemsRemovedAll();
    member->libraryDomain()->notifyUserInfoItemsRemovedAll();
    member->libraryDomain()->notifyItemsAddOrUpdate({issueRecord("MG01-2401")});
    member->libraryDomain()->notifyUserItemsAddOrUpdate({issueRecord("MG01-2401")});
    auto expected = codesOf(device->libraryDomain()->items());
    ASSERT_NE(std::find(expected.begin(), expected.end(), "MG02-2402"), expected.end());
    member->takeOverDeviceLibrary();
    auto held = codesOf(member->libraryDomain()->items());
    std::sort(held.begin(), held.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(held, expected);  // each once: the member's own MG01-2401 is not doubled
    EXPECT_TRUE(device->libraryDomain()->items().empty());
    member->libraryDomain()->clearItemsCache();
    EXPECT_EQ(member->libraryDomain()->items().size(), expected.size());
    device->libraryDomain()->clearItemsCache();
    EXPECT_TRUE(device->libraryDomain()->items().empty());
}

// A link where the moved-aside files go (to a folder elsewhere) is never followed: a return
// deletes the item's files in place and puts nothing there, and a start sweeps nothing there.
TEST_F(LibraryTest, ALinkInPlaceOfTheDiscardedFilesLeavesWhatItPointsToAlone) {
    namespace fs = std::filesystem;
    auto user = context->activeUserContext();
    ASSERT_TRUE(run(user->libraryDomain()->newDomainUpdatingRequest(nullptr))->succeed());
    auto item = VnMagazineIssueInfoProxy::recordOf(user->libraryDomain()->items().front());
    const fs::path itemFolder = user->bookArchiveWithIssueInfo(item)->archivePath();
    writeFile(itemFolder / "PAGE_PDF_1", "pdf");
    writeFile(itemFolder / "EPUB" / "chapter.xhtml", "text");
    const fs::path elsewhere = testing_support::freshTestFolder() / "elsewhere";
    writeFile(elsewhere / "kept.txt", "mine");
    writeFile(elsewhere / "folder" / "deep.txt", "mine too");
    const fs::path root = user->userStorage()->discardedFiles()->root();
    fs::remove_all(root);
    fs::create_directory_symlink(elsewhere, root);
    const auto entries = [&] { return plat::FileManager::contentsOfDirectory(elsewhere).size(); };

    const auto& deletions = user->userStorage()->discardedFiles()->deletions();
    deletions->setSuspended(true);
    user->removeBookFromLocalLibrary(item);
    EXPECT_FALSE(fs::exists(itemFolder / "PAGE_PDF_1"));
    EXPECT_FALSE(fs::exists(itemFolder / "EPUB"));
    EXPECT_EQ(entries(), 2u) << "the return moved files into the linked folder";
    deletions->setSuspended(false);
    deletions->waitUntilAllOperationsAreFinished();

    user.reset();
    context.reset();
    context = makeContext();
    context->activeUserContext()
        ->userStorage()
        ->discardedFiles()
        ->deletions()
        ->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(fs::is_symlink(root));
    EXPECT_EQ(entries(), 2u);
    EXPECT_TRUE(fs::exists(elsewhere / "kept.txt"));
    EXPECT_TRUE(fs::exists(elsewhere / "folder" / "deep.txt"));
}

// The member signs out while the library shelves bring the member's library up to date: both
// updates joined the list's one items request, whose reply has not come. The member's context
// goes, and its lists with it: each update ends with the cancel result, and neither it nor its
// caller (which it held) is left behind.
TEST_F(LibraryTest, UpdatesUnderWayWhenTheMembersContextGoesEndCancelledAndHoldNothing) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    WeakRef<VnBookStoreUserContext> member = context->activeUserContext();
    service.setFault("GetMetaMagazineIssueInfos", demo::Fault::stall());
    std::vector<Ref<VnRequestResult>> heard(2);
    std::vector<WeakRef<VnRequestContext>> updates;
    std::vector<WeakRef<RequestWatcher>> callers;
    for (size_t i = 0; i < heard.size(); ++i) {
        auto update = member.lock()->libraryDomain()->newDomainUpdatingRequest(nullptr);
        auto caller = std::make_shared<RequestWatcher>();
        update->startWithDidFinishBlock(
            [caller, &result = heard[i]](const Ref<VnRequestResult>& r, const plat::Value&) {
                caller->result = r;
                result = r;
            });
        updates.push_back(update);
        callers.push_back(caller);
    }
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return service.stalledCount() == 1; }, 15));
    ASSERT_EQ(member.lock()->libraryDomain()->itemsRequest()->jointRequests().size(), heard.size())
        << "both updates joined the list's items request";
    for (const auto& update : updates) {
        ASSERT_FALSE(update.expired());
        ASSERT_TRUE(update.lock()->running());
    }

    context->signOutRegisteredUser();
    EXPECT_TRUE(context->activeUserContext()->isDefault());
    const auto allHeard = [&] {
        return std::all_of(heard.begin(), heard.end(), [](const auto& r) { return r != nullptr; });
    };
    plat::RunLoop::current().runUntil([&] { return member.expired() && allHeard(); }, 15);
    EXPECT_TRUE(member.expired()) << "nothing else holds the member's context";
    for (size_t i = 0; i < heard.size(); ++i) {
        EXPECT_TRUE(heard[i] && heard[i]->isUserCancelled())
            << "update " << i << ": " << (heard[i] ? heard[i]->description() : "never ended");
        EXPECT_TRUE(updates[i].expired()) << "update " << i;
        EXPECT_TRUE(callers[i].expired()) << "caller " << i;
    }
    service.clearFaults();
    service.releaseStalled();
}

// The member signs out while two lists of the member's context wait for a reply that is not
// cancelled with the context: the library shelf fetching its records in batches, and a book
// category list a screen still holds. The replies that come afterwards end the updates as failed;
// they keep nothing and throw nothing into the event loop.
TEST_F(LibraryTest, ListRepliesThatComeAfterTheMembersContextWentEndTheUpdatesAsFailed) {
    catalogue.generateItems(20, 3);
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    WeakRef<VnBookStoreUserContext> member = context->activeUserContext();
    store.setFault("GetMagazineIssueInfos", demo::Fault::stall());
    store.setFault("GetMetaBookInfos", demo::Fault::stall());
    Ref<VnMagazineIssueDomain> category = member.lock()->bookIssueDomainWithCategory("B01");
    std::vector<Ref<VnRequestResult>> heard(2);
    const std::vector<Ref<VnDomain>> lists{member.lock()->libraryDomain(), category};
    for (size_t i = 0; i < lists.size(); ++i) {
        auto update = lists[i]->newDomainUpdatingRequest(nullptr);
        update->setForceUpdate(true);
        update->startWithDidFinishBlock([&result = heard[i]](const Ref<VnRequestResult>& r,
                                                             const plat::Value&) { result = r; });
    }
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return store.stalledCount() == 2; }, 15))
        << "the batch and the category list are both waiting";

    context->signOutRegisteredUser();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return member.expired(); }, 15));
    store.clearFaults();
    store.releaseStalled();
    const auto allHeard = [&] {
        return std::all_of(heard.begin(), heard.end(), [](const auto& r) { return r != nullptr; });
    };
    EXPECT_TRUE(plat::RunLoop::current().runUntil(allHeard, 15));
    for (size_t i = 0; i < heard.size(); ++i)
        EXPECT_TRUE(heard[i] && !heard[i]->succeed())
            << "list " << i << ": " << (heard[i] ? heard[i]->description() : "never ended");
    EXPECT_TRUE(category->items().empty());
}

// The store context goes (the program ends) while the member's context is still held and the
// library shelf's update waits for a reply: its reference list, or a batch of its records. The
// reply that comes afterwards has no home storage to write to: the update ends failed, keeps
// nothing and asks for nothing more.
class LateListReplyTest : public ContextTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LateListReplyTest, AReplyThatComesAfterTheHomeStorageWentEndsTheUpdateAsFailed) {
    const std::string stalled = GetParam();
    catalogue.generateItems(20, 3);
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    const Ref<VnBookStoreUserContext> member = context->activeUserContext();
    const Ref<VnMagazineIssueDomain> library = member->libraryDomain();
    auto& server = stalled == "GetMagazineIssueInfos" ? store : service;
    server.setFault(stalled, demo::Fault::stall());
    Ref<VnRequestResult> heard;
    auto update = library->newDomainUpdatingRequest(nullptr);
    update->setForceUpdate(true);
    update->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>& r, const plat::Value&) { heard = r; });
    update.reset();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return server.stalledCount() == 1; }, 15))
        << "the update waits for its reply";

    const WeakRef<VnBookStoreLocalStorage> home = member->userStorage()->localStorage();
    context.reset();
    ASSERT_TRUE(home.expired()) << "nothing else holds the home storage";
    const size_t batchesAsked = store.requestsForMethod("GetMagazineIssueInfos").size();
    server.clearFaults();
    server.releaseStalled();
    EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return heard != nullptr; }, 15));
    EXPECT_TRUE(heard && !heard->succeed()) << (heard ? heard->description() : "never ended");
    EXPECT_TRUE(library->items().empty()) << "nothing is kept";
    EXPECT_EQ(store.requestsForMethod("GetMagazineIssueInfos").size(), batchesAsked)
        << "no further batch is asked for";
}

INSTANTIATE_TEST_SUITE_P(LibraryTest, LateListReplyTest,
                         ::testing::Values("GetMetaMagazineIssueInfos", "GetMagazineIssueInfos"));

}  // namespace
