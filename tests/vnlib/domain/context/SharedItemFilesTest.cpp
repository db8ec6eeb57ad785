// Item folders are shared by the members of a home: one member's removal of an item leaves its
// files while another member's local library holds the item (a row hidden from that member's
// shelf too), and reads those libraries from the home's member folders as they stand.
#include <gtest/gtest.h>

#include <filesystem>

#include "../storage/StorageTestSupport.h"
#include "ContextTestSupport.h"
#include "platform/storage/FileManager.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnDiscardedFiles.h"
#include "vnlib/info/catalogue/VnPageInfo.h"

namespace fs = std::filesystem;

namespace {

class SharedItemFilesTest : public ContextTest {
  protected:
    // The items stand in the member's local library (books in the book library).
    static void hold(const Ref<VnBookStoreUserContext>& user,
                     const std::vector<Ref<VnMagazineIssueInfo>>& items) {
        for (const auto& item : items)
            user->updateUserItemForIssueInfo(item);
    }

    // The item read on this home: a page file, its page table, a folder of its EPUB, its cover,
    // and the member's last viewed page.
    static void read(const Ref<VnBookStoreUserContext>& user,
                     const Ref<VnMagazineIssueInfo>& item) {
        const fs::path folder = user->bookArchiveWithIssueInfo(item)->archivePath();
        storage_test::writeFile(folder / "PAGE_PDF_0", "%PDF-1.4 page");
        storage_test::writeFile(folder / "EPUB" / "chapter.xhtml", "text");
        storage_test::writeFile(folder / "cover.jpg", "cover");
        auto page = std::make_shared<VnPageInfo>();
        page->setCode("0");
        auto table = user->pageDataTableForIssueInfo(item);
        table->replaceWithNewItems({page});
        table->flushStorageWriting();
        user->userStorage()->setObject(plat::Value(3.0), lastViewed(item));
    }

    static std::string lastViewed(const Ref<VnMagazineIssueInfo>& item) {
        return VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(item);
    }

    // What of the item's reading is in its folder: "page table epub" for all of it.
    static std::string kept(const Ref<VnBookStoreUserContext>& user,
                            const Ref<VnMagazineIssueInfo>& item) {
        const fs::path folder = user->bookArchiveWithIssueInfo(item)->archivePath();
        std::string found;
        if (fs::exists(folder / "PAGE_PDF_0"))
            found += "page ";
        if (fs::exists(folder / "VnPageInfo.table.json"))
            found += "table ";
        if (fs::exists(folder / "EPUB"))
            found += "epub";
        return found;
    }

    // Removed by the member: out of the member's library and settings, whatever the files do.
    static void remove(const Ref<VnBookStoreUserContext>& user,
                       const Ref<VnMagazineIssueInfo>& item) {
        user->removeBookFromLocalLibrary(item);
        EXPECT_FALSE(user->hasIssueInLibrary(item)) << *item->code();
        EXPECT_TRUE(user->userStorage()->objectForKey(lastViewed(item)).isNilOrNull());
        EXPECT_TRUE(fs::exists(user->bookArchiveWithIssueInfo(item)->archivePath() / "cover.jpg"));
    }
};

// Nok holds a book and a magazine issue, and signs out; Somchai holds them too and returns them:
// their files stay for Nok, and the page list is still answered from the folder. A book only
// Somchai holds stays while Nok's library cannot be read (a damaged table, a link in its place,
// her folder a link), and goes once it can and does not hold it.
TEST_F(SharedItemFilesTest, AReturnLeavesWhatAnotherMemberOfTheHomeHolds) {
    const auto book = issueRecord("BK0005", "Book");
    const auto issue = issueRecord("MG01-2401");
    const auto own = issueRecord("BK0001", "Book");
    ASSERT_TRUE(signIn("nok@example.com", "nok-2567")->succeed());
    const fs::path nokFolder = context->activeUserContext()->userStorage()->userPath();
    hold(context->activeUserContext(), {book, issue});
    context->signOutRegisteredUser();
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    const auto somchai = context->activeUserContext();
    ASSERT_NE(somchai->userStorage()->userPath(), nokFolder);
    const auto& deletions = somchai->userStorage()->discardedFiles()->deletions();
    hold(somchai, {book, issue, own});
    for (const auto& item : {book, issue, own})
        read(somchai, item);

    for (const auto& item : {book, issue}) {
        remove(somchai, item);
        EXPECT_EQ(kept(somchai, item), "page table epub") << *item->code() << " is Nok's too";
        const auto again = issueRecord(*item->code(), item->type_->c_str());
        const size_t asked = calls("GetBookPages");
        const auto pages = run(somchai->requestForPageInfosWithMagazineIssueInfo(again));
        ASSERT_TRUE(pages && pages->succeed());
        EXPECT_EQ(codesOf(pages->returnValue().as<VnUpdatedLocalSnapshot>()->items()),
                  std::vector<std::string>{"0"});
        EXPECT_EQ(calls("GetBookPages"), asked) << "the page list comes from the folder";
    }

    // Nok's book library cannot be read: a damaged table, left as it is.
    const fs::path nokBooks = nokFolder / "Books._Libraries.table.json";
    ASSERT_TRUE(fs::exists(nokBooks)) << "Nok's book library is kept under that name";
    const std::string damaged = R"([{"Code":"BK0005"},{"Code":)";
    storage_test::writeFile(nokBooks, damaged);
    remove(somchai, own);
    EXPECT_EQ(kept(somchai, own), "page table epub");
    EXPECT_EQ(storage_test::readFile(nokBooks), damaged);

    // A link in place of her table, or of her folder, is not followed.
    const fs::path elsewhere = testing_support::freshTestFolder() / "elsewhere";
    storage_test::writeFile(elsewhere / "Books._Libraries.table.json", "[]");
    fs::remove(nokBooks);
    fs::create_symlink(elsewhere / "Books._Libraries.table.json", nokBooks);
    remove(somchai, own);
    EXPECT_EQ(kept(somchai, own), "page table epub") << "a link to a table";
    fs::remove(nokBooks);
    const fs::path aside = nokFolder.parent_path() / "nok-aside";
    fs::rename(nokFolder, aside);
    fs::create_directory_symlink(elsewhere, nokFolder);
    remove(somchai, own);
    EXPECT_EQ(kept(somchai, own), "page table epub") << "a link to a member folder";
    fs::remove(nokFolder);
    fs::rename(aside, nokFolder);

    // Readable, without the book, beside entries that are no members: the files go.
    storage_test::writeFile(nokBooks, R"([{"Code":"BK0005"},{"Code":"BK0001x"},7,{"Code":null}])");
    storage_test::writeFile(nokFolder.parent_path() / "notes.txt", "BK0001");
    storage_test::writeFile(nokFolder.parent_path() / "%2E%2E" / "Libraries.table.json",
                            R"([{"Code":"x"}])");
    storage_test::writeFile(nokFolder.parent_path() / "odd\nname" / "Libraries.table.json", "[]");
    deletions->setSuspended(true);
    remove(somchai, own);
    EXPECT_EQ(kept(somchai, own), "") << "no other member holds it";
    EXPECT_EQ(kept(somchai, book), "page table epub");
    EXPECT_EQ(kept(somchai, issue), "page table epub");
    deletions->setSuspended(false);
    deletions->waitUntilAllOperationsAreFinished();
}

// Nok keeps a book and a magazine issue hidden from her shelf: her rows of them still hold them,
// and Somchai's removal leaves their files, tables and page lists.
TEST_F(SharedItemFilesTest, AnotherMembersHiddenRowStillHoldsTheItem) {
    const auto book = issueRecord("BK0005", "Book");
    const auto issue = issueRecord("MG01-2401");
    ASSERT_TRUE(signIn("nok@example.com", "nok-2567")->succeed());
    const auto nok = context->activeUserContext();
    const fs::path nokFolder = nok->userStorage()->userPath();
    for (const auto& item : {book, issue}) {
        const auto hidden = issueRecord(*item->code(), item->type_->c_str());
        hidden->hiddenFromLibrary_ = true;
        hold(nok, {hidden});
    }
    for (const char* table : {"Books._Libraries.table.json", "Libraries.table.json"}) {
        const std::string rows = storage_test::readFile(nokFolder / table);
        EXPECT_NE(rows.find(R"("HiddenFromLibrary":1)"), std::string::npos)
            << table << ": " << rows;
        EXPECT_EQ(rows.find(R"("HiddenFromLibrary":0)"), std::string::npos)
            << table << ": " << rows;
    }
    context->signOutRegisteredUser();
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue")->succeed());
    const auto somchai = context->activeUserContext();
    const auto& deletions = somchai->userStorage()->discardedFiles()->deletions();
    hold(somchai, {book, issue});
    for (const auto& item : {book, issue}) {
        read(somchai, item);
        remove(somchai, item);
        EXPECT_EQ(kept(somchai, item), "page table epub")
            << *item->code() << " is Nok's too, hidden from her shelf";
    }
    // A removal that went wrong hands files to the discarding; none is left running here.
    deletions->waitUntilAllOperationsAreFinished();
}

}  // namespace
