// A book's sample and a loan of it share the book's folder. A loan taken ends the sample: an
// opening made for the sample whose page list arrives afterwards keeps nothing as the loan's,
// and an opening for the loan asks for the loan's own list and keeps it. A sample deleted beside
// a loan the member holds takes only itself away.
#include <gtest/gtest.h>

#include <filesystem>

#include "../storage/StorageTestSupport.h"
#include "ContextTestSupport.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnArchiveFileGeneration.h"
#include "vnlib/domain/storage/VnDiscardedFiles.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/info/catalogue/VnPageInfo.h"

using demo::Json;

namespace {

using SampleBesideLoanTest = ContextTest;

TEST_F(SampleBesideLoanTest, AnOpeningOfTheSampleKeepsNoPageListOnceALoanEndsIt) {
    const auto user = context->activeUserContext();
    const auto book = issueRecord("BK0004", "Book");
    ASSERT_TRUE(run(user->requestForBookSample(book))->succeed());
    const auto folder = user->bookArchiveWithIssueInfo(book)->archivePath();
    const auto pageLists = [&](const std::string& type) {
        size_t count = 0;
        for (const auto& request : service.requestsForMethod("GetBookPages"))
            count += Json::parse(request.body).value("pageType", "") == type;
        return count;
    };

    // The sample's page list is on its way when the loan is taken.
    service.setFault("GetBookPages", demo::Fault::stall());
    const auto sample = user->magazineIssueContextWithInfo(book);
    sample->startLoadingAllPages();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return service.stalledCount() == 1; }, 15));
    ASSERT_EQ(sample->contextRequestManager()->activeRequests().size(), 1U);
    const auto asked = sample->contextRequestManager()->activeRequests().front();
    user->endBookSampleOfLoan(book);
    EXPECT_FALSE(book->isSample_);
    EXPECT_TRUE(user->bookSamples().empty());
    service.clearFaults();
    service.releaseStalled();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return !asked->running(); }, 15));
    EXPECT_EQ(pageLists("Sample"), 1U);
    EXPECT_FALSE(book->pageArray_) << "the sample's list is not the loan's";
    EXPECT_FALSE(std::filesystem::exists(folder / "VnPageInfo.table.json"));
    EXPECT_EQ(calls("GetAssetFiles"), 0U) << "the sample's opening goes no further";

    const auto loan = user->magazineIssueContextWithInfo(book);
    loan->startLoadingAllPages();
    EXPECT_TRUE(plat::RunLoop::current().runUntil(
        [&] { return std::filesystem::exists(folder / "VnPageInfo.table.json"); }, 15));
    EXPECT_EQ(pageLists("Libraries"), 1U);
    EXPECT_TRUE(book->pageArray_);
    loan->cancelLoading();
}

// The member holds a loan of a book, read on this home, and a sample of it taken before (the
// sample's own record, as the samples keep it): deleting the sample takes it out of the samples
// with its page table, and leaves the loan whole: every file of the folder, its page table (the
// page list is answered from it), its entry in the local library, its last viewed page, and an
// opening of it. Walked with a lent loan and a free one.
TEST_F(SampleBesideLoanTest, DeletingTheSampleBesideAHeldLoanLeavesTheLoanWhole) {
    namespace fs = std::filesystem;
    const auto user = context->activeUserContext();
    for (const bool free : {false, true}) {
        SCOPED_TRACE(free ? "a free loan" : "a lent loan");
        const std::string code = free ? "BK0003" : "BK0004";
        const auto loan = issueRecord(code, "Book");
        loan->isFreeContent_ = free;
        user->updateUserItemForIssueInfo(loan);
        ASSERT_TRUE(user->hasIssueInLibrary(loan));
        const auto archive = user->bookArchiveWithIssueInfo(loan);
        const fs::path folder = archive->archivePath();
        storage_test::writeFile(folder / "PAGE_PDF_0", "%PDF-1.4 page");
        storage_test::writeFile(folder / "EPUB" / "chapter.xhtml", "text");
        storage_test::writeFile(folder / "cover.jpg", "cover");
        auto page = std::make_shared<VnPageInfo>();
        page->setCode("0");
        const auto loanPages = user->pageDataTableForIssueInfo(loan);
        loanPages->replaceWithNewItems({page});
        loanPages->flushStorageWriting();
        const std::string lastViewed =
            VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(loan);
        user->userStorage()->setObject(plat::Value(3.0), lastViewed);

        const auto sample = issueRecord(code, "Book");
        ASSERT_TRUE(run(user->requestForBookSample(sample))->succeed());
        const auto samplePages = user->pageDataTableForIssueInfo(sample);
        samplePages->replaceWithNewItems({page});
        samplePages->flushStorageWriting();
        const fs::path samplePagesFile = folder / "VnPageInfo_Sample.table.json";
        ASSERT_TRUE(fs::exists(samplePagesFile));
        auto loanFiles = storage_test::entriesBelow(folder);
        loanFiles.erase(samplePagesFile.filename().string());
        const uint64_t generation = archive->fileGeneration()->current();

        user->deleteBookSample(sample);
        EXPECT_FALSE(sample->isSample_);
        for (const auto& kept : user->bookSamples())
            EXPECT_NE(kept->code(), code) << "the sample is still kept";
        EXPECT_FALSE(fs::exists(samplePagesFile)) << "the sample's page table stays";
        EXPECT_EQ(storage_test::entriesBelow(folder), loanFiles) << "the loan's files go";
        EXPECT_TRUE(user->hasIssueInLibrary(loan)) << "the loan leaves the local library";
        const auto entries = user->bookLibraryDomain()->takeLocalUserItemSnapshot();
        for (const auto& row : entries->items()) {
            const auto entry = std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(row);
            EXPECT_FALSE(entry && entry->code() == code && entry->hiddenFromLibrary())
                << "the loan's entry is hidden";
        }
        EXPECT_EQ(user->userStorage()->objectForKey(lastViewed).doubleValue(), 3.0)
            << "the loan's last viewed page goes";
        EXPECT_EQ(archive->fileGeneration()->current(), generation)
            << "an opening of the loan is stopped";
        const size_t asked = calls("GetBookPages");
        const auto pages = run(user->requestForPageInfosWithMagazineIssueInfo(loan));
        ASSERT_TRUE(pages && pages->succeed());
        EXPECT_EQ(codesOf(pages->returnValue().as<VnUpdatedLocalSnapshot>()->items()),
                  std::vector<std::string>{"0"});
        EXPECT_EQ(calls("GetBookPages"), asked)
            << "the loan's page list is asked again: its table went";
    }
    // A delete that went wrong hands files to the discarding; none is left running here.
    user->userStorage()->discardedFiles()->deletions()->waitUntilAllOperationsAreFinished();
}

}  // namespace
