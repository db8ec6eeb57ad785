// A book's sample and a loan of it share the book's folder. A loan taken ends the sample: an
// opening made for the sample whose page list arrives afterwards keeps nothing as the loan's,
// and an opening for the loan asks for the loan's own list and keeps it.
#include <gtest/gtest.h>

#include "ContextTestSupport.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"

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

}  // namespace
