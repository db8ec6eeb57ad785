#include <gtest/gtest.h>

#include "StorageTestSupport.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"
#include "vnlib/domain/storage/VnJsonDBDataTable.h"
#include "vnlib/domain/storage/VnStoreModels.h"

using namespace storage_test;

namespace {

// Counts the fetches that reach the store.
class CountingDataContext : public VnCoreDataContext {
  public:
    using VnCoreDataContext::VnCoreDataContext;
    std::vector<Row> _infosWithPredicate(const plat::Predicate& predicate) override {
        ++fetches;
        return VnCoreDataContext::_infosWithPredicate(predicate);
    }
    int fetches = 0;
};

// Stands in for the user context: it answers the bookmark data context by name.
class BookmarkOwner : public plat::Object {
    PLAT_CLASS(BookmarkOwner)
  public:
    Ref<VnDataContext> userBookmarkDataContext() { return context; }
    Ref<VnDataContext> context;
};

std::vector<Ref<VnInfo>> issues(int from, int to) {
    std::vector<Ref<VnInfo>> out;
    for (int i = from; i < to; ++i)
        out.push_back(issue("ISS" + std::to_string(i)));
    return out;
}

}  // namespace

PLAT_DEFINE_CLASS(BookmarkOwner, plat::Object, [](auto& c) {
    c.method("userBookmarkDataContext", &BookmarkOwner::userBookmarkDataContext);
})

TEST(JsonDBDataTable, EveryOperationThroughTheStoreAndPreloadingByShare) {
    const auto path = testing_support::freshTestFolder() / "GlobalCache.sqlite";
    auto store = plat::ObjectStoreContext::open(path, VarnelClientGlobalCacheModel());
    EXPECT_THROW(VnCoreDataContext("UserBookmark", store), plat::Exception);  // Entity not found
    auto context = std::make_shared<CountingDataContext>("JSONMagazineIssueInfoShop", store);
    auto table = std::make_shared<VnJsonDBDataTable>(context, VnMagazineIssueInfo::classObject(),
                                                     VnJsonMagazineIssueInfoData::classObject());

    table->replaceWithNewItems(issues(0, 10));
    EXPECT_FALSE(store->hasChanges());  // saved once, at the end
    EXPECT_EQ(context->itemCount(), 10);
    table->updateInfo(issue("ISS3", "MG01", "แก้ไขแล้ว"));  // refills the existing row
    table->updateWithInfos({issue("ISS10"), issue("ISS2", "MG09")});
    EXPECT_EQ(context->itemCount(), 11);
    table->removeInfoByCode("ISS0");
    EXPECT_FALSE(table->infoForCode("ISS0"));

    // A fresh table over the same store: one object per row, its record decoded once.
    auto fresh = std::make_shared<CountingDataContext>("JSONMagazineIssueInfoShop", store);
    auto reader = std::make_shared<VnJsonDBDataTable>(fresh, VnMagazineIssueInfo::classObject(),
                                                      VnJsonMagazineIssueInfoData::classObject());
    auto edited = std::static_pointer_cast<VnMagazineIssueInfo>(reader->infoForCode("ISS3"));
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->issueName(), "แก้ไขแล้ว");
    EXPECT_EQ(reader->infoForCode("ISS3"), edited);
    EXPECT_EQ(reader->dataForCode("ISS2"), table->dataForCode("ISS2"));
    EXPECT_EQ(std::static_pointer_cast<VnMagazineIssueInfo>(reader->infoForCode("ISS2"))->headCode_,
              "MG09");

    // Ten rows: nine codes are more than 80 % (one fetch of all), eight are not (one per code).
    auto preload = [&](int n) {
        auto counting = std::make_shared<CountingDataContext>("JSONMagazineIssueInfoShop", store);
        VnJsonDBDataTable t(counting, VnMagazineIssueInfo::classObject(),
                            VnJsonMagazineIssueInfoData::classObject());
        std::vector<std::string> codes;
        for (int i = 1; i <= n; ++i)
            codes.push_back("ISS" + std::to_string(i));
        t.preloadItemsWithCodes(codes);
        const int fetches = counting->fetches;
        EXPECT_TRUE(t.infoForCode("ISS1"));
        EXPECT_EQ(counting->fetches, fetches);  // served from the row cache
        return fetches;
    };
    ASSERT_EQ(context->itemCount(), 10);
    EXPECT_EQ(preload(9), 1);
    EXPECT_EQ(preload(8), 8);

    // A row whose text does not parse decodes to an empty record.
    auto broken = std::static_pointer_cast<VnJsonData>(context->newInfo());
    broken->setCode(std::string("BAD"));
    broken->setJsonString(std::string("{not json"));
    context->addInfo(broken);
    EXPECT_TRUE(broken->info());
    EXPECT_FALSE(broken->info()->code());
}

TEST(JsonDBDataTable, CodesAFullPreloadLacksAndFewUpdatesAmongManyRowsAreNotReadRowByRow) {
    const auto path = testing_support::freshTestFolder() / "GlobalCache.sqlite";
    auto store = plat::ObjectStoreContext::open(path, VarnelClientGlobalCacheModel());
    auto tableOn = [&](const Ref<CountingDataContext>& context) {
        return std::make_shared<VnJsonDBDataTable>(context, VnMagazineIssueInfo::classObject(),
                                                   VnJsonMagazineIssueInfoData::classObject());
    };
    auto writer = std::make_shared<CountingDataContext>("JSONMagazineIssueInfoLibrary", store);
    tableOn(writer)->replaceWithNewItems(issues(0, 100));

    // Every row read at once: codes it did not find are answered without asking the store, until
    // one of them is added.
    auto context = std::make_shared<CountingDataContext>("JSONMagazineIssueInfoLibrary", store);
    auto table = tableOn(context);
    std::vector<std::string> codes;
    for (int i = 0; i < 100; ++i)
        codes.push_back("ISS" + std::to_string(i));
    codes.insert(codes.end(), {"GONE1", "GONE2"});
    table->preloadItemsWithCodes(codes);
    EXPECT_EQ(context->fetches, 1);
    EXPECT_FALSE(table->infoForCode("GONE1"));
    EXPECT_FALSE(table->infoForCode("GONE2"));
    EXPECT_TRUE(table->infoForCode("ISS42"));
    EXPECT_EQ(context->fetches, 1);
    table->addInfo(issue("GONE1", "MG02"));
    ASSERT_TRUE(table->infoForCode("GONE1"));
    table->updateWithInfos({issue("GONE2", "MG03"), issue("ISS1", "MG04")});
    EXPECT_EQ(std::static_pointer_cast<VnMagazineIssueInfo>(table->infoForCode("GONE2"))->headCode_,
              "MG03");
    EXPECT_EQ(context->itemCount(), 102);

    // Three records among a hundred rows: three lookups by code, not a read of every row; the
    // rows are refilled in place and the new one is added once.
    auto few = std::make_shared<CountingDataContext>("JSONMagazineIssueInfoLibrary", store);
    tableOn(few)->updateWithInfos(
        {issue("ISS3", "MG01", "แก้ไข"), issue("ISS7", "MG07"), issue("NEW1")});
    EXPECT_EQ(few->fetches, 3);
    auto reader =
        tableOn(std::make_shared<CountingDataContext>("JSONMagazineIssueInfoLibrary", store));
    EXPECT_EQ(
        std::static_pointer_cast<VnMagazineIssueInfo>(reader->infoForCode("ISS3"))->issueName(),
        "แก้ไข");
    EXPECT_EQ(std::static_pointer_cast<VnMagazineIssueInfo>(reader->infoForCode("ISS7"))->headCode_,
              "MG07");
    EXPECT_EQ(store->count("JSONMagazineIssueInfoLibrary",
                           plat::Predicate::equal("code", plat::Value("ISS3"))),
              1);
    EXPECT_EQ(context->itemCount(), 103);
}

// New records are saved as one row a code (the last record of a code wins); when the save fails
// they stay pending, as any unsaved change does, for the next save to write.
TEST(JsonDBDataTable, NewRecordsAreSavedOnceACodeAndStayPendingWhenTheSaveFails) {
    const auto folder = testing_support::freshTestFolder();
    auto store = plat::ObjectStoreContext::open(folder / "GlobalCache.sqlite",
                                                VarnelClientGlobalCacheModel());
    auto tableOn = [](const Ref<plat::ObjectStoreContext>& on) {
        return std::make_shared<VnJsonDBDataTable>(
            std::make_shared<VnCoreDataContext>("JSONMagazineIssueInfoLibrary", on),
            VnMagazineIssueInfo::classObject(), VnJsonMagazineIssueInfoData::classObject());
    };
    tableOn(store)->updateWithInfos(
        {issue("A1", "MG01", "ก่อน"), issue("A2"), issue("A1", "MG02", "หลัง")});
    EXPECT_FALSE(store->hasChanges());
    EXPECT_EQ(store->count("JSONMagazineIssueInfoLibrary"), 2);
    auto last = std::static_pointer_cast<VnMagazineIssueInfo>(tableOn(store)->infoForCode("A1"));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->issueName(), "หลัง");
    EXPECT_EQ(last->headCode_, "MG02");

    // A store that could not be opened fails every save.
    auto unopened = plat::ObjectStoreContext::open(folder / "missing" / "GlobalCache.sqlite",
                                                   VarnelClientGlobalCacheModel());
    ASSERT_FALSE(unopened->hasStore());
    tableOn(unopened)->updateWithInfos(issues(0, 3));
    EXPECT_TRUE(unopened->hasChanges());
}

TEST(UserBookmarks, PageBookmarksMatchTheirFilterAndAreFoundAgain) {
    const auto path = testing_support::freshTestFolder() / "UserData.sqlite";
    auto owner = std::make_shared<BookmarkOwner>();
    owner->context = std::make_shared<VnCoreDataContext>(
        "UserBookmark", plat::ObjectStoreContext::open(path, VarnelClientModel()));
    VnBookstoreUserBookmarkContext pages(owner, false);
    VnBookstoreUserBookmarkContext epub(owner, true);
    const auto item = issue("BK0001");

    // As the reader makes one: only the code, page name, index and title.
    auto bookmark = pages.bookmarkWithIssueInfo(item);
    bookmark->setPageName(std::string("page_0004"));
    bookmark->setPageIndex(4);
    bookmark->setTitle(std::string("บทที่ ๑"));
    EXPECT_TRUE(bookmark->createDate());
    pages.addBookmark(bookmark);
    auto chapter = epub.bookmarkWithIssueInfo(item);
    chapter->setEpubTotalPages(120);
    chapter->setPageName(std::string("page_0004"));
    epub.addBookmark(chapter);

    ASSERT_EQ(pages.bookmarksForIssueInfo(item).size(), 1u);
    EXPECT_EQ(pages.bookmarksForIssueInfo(item)[0], bookmark);
    EXPECT_EQ(pages.bookmarkForIssueInfo(item, "page_0004"), bookmark);
    EXPECT_EQ(epub.bookmarkForIssueInfo(item, "page_0004"), chapter);
    EXPECT_FALSE(pages.bookmarkForIssueInfo(item, "page_0005"));
    EXPECT_TRUE(pages.bookmarksForIssueInfo(issue("OTHER")).empty());
    EXPECT_EQ(pages.allBookmarks().size(), 2u);

    // Saved: a new store context over the file finds the same values.
    auto reopened = std::make_shared<BookmarkOwner>();
    reopened->context = std::make_shared<VnCoreDataContext>(
        "UserBookmark", plat::ObjectStoreContext::open(path, VarnelClientModel()));
    VnBookstoreUserBookmarkContext again(reopened, false);
    auto found = again.bookmarkForIssueInfo(item, "page_0004");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->title(), "บทที่ ๑");
    EXPECT_EQ(found->pageIndex(), 4);
    EXPECT_EQ(found->epubTotalPages(), 0);
    EXPECT_EQ(found->createDate()->seconds, bookmark->createDate()->seconds);
    again.removeBookmark(found);
    EXPECT_TRUE(again.bookmarksForIssueInfo(item).empty());
}
