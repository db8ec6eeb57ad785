// The back issues of a magazine of 130 issues from the demo store, without the screen: what is
// shown from the cache and from the replies, the order of issues, paging from the count shown,
// and failed replies that keep what is shown.
#include <algorithm>

#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/ShopBackIssueViewController.h"
#include "app/store/detail/StoreTestSupport.h"
#include "demo-service/DemoGroupLists.h"
#include "support/DynamicObject.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"

namespace {

using demo::Json;
using testing_support::DynamicObject;
using IssueList = ShopBackIssueViewController::IssueList;

class BackIssuesTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_TRUE(demo::addBackIssueMagazine(catalogue));
        magazine = std::make_shared<VnMagazineInfo>();
        magazine->setCode(demo::kBackIssueMagazine);
    }

    Ref<ShopBackIssueViewController> makeList() {
        auto list = ui::ViewController::create<ShopBackIssueViewController>();
        list->setDelegate(delegate);
        return list;
    }
    size_t metaCalls() const { return store.requestsForMethod("GetMetaMagazineIssueInfos").size(); }
    // The "start" of the last issue-list call.
    int64_t lastStart() const {
        const auto calls = store.requestsForMethod("GetMetaMagazineIssueInfos");
        return Json::parse(calls.back().body).value("start", int64_t{-1});
    }
    int64_t lastLength() const {
        const auto calls = store.requestsForMethod("GetMetaMagazineIssueInfos");
        return Json::parse(calls.back().body).value("length", int64_t{-1});
    }
    static std::vector<std::string> codes(const IssueList& issues) {
        std::vector<std::string> out;
        for (const auto& issue : issues)
            out.push_back(issue->code().value_or(""));
        return out;
    }
    static bool newestFirst(const IssueList& issues) {
        return std::is_sorted(issues.begin(), issues.end(), [](const auto& a, const auto& b) {
            return a->issueDateSortingToken()->seconds > b->issueDateSortingToken()->seconds;
        });
    }

    Ref<VnMagazineInfo> magazine;
    Ref<DynamicObject> delegate = DynamicObject::make();
};

TEST_F(BackIssuesTest, ShowsTheReplyNewestFirstAndTheCacheAtOnceNextTime) {
    auto list = makeList();
    list->setMagazineInfo(magazine);
    // Nothing is cached yet; until the first reply no page is asked for.
    EXPECT_TRUE(list->magazineIssueArray()->empty());
    EXPECT_TRUE(list->isRequestRunning());
    const size_t calls = metaCalls();
    list->continueUpdateMagazineIssueinfoInfo(magazine);
    ASSERT_TRUE(waitFor([&] { return !list->isRequestRunning(); }));
    EXPECT_EQ(calls + 1, metaCalls());
    EXPECT_EQ(0, lastStart());

    const auto shown = list->magazineIssueArray();
    ASSERT_EQ(static_cast<size_t>(demo::kBackIssueCount), shown->size());
    EXPECT_TRUE(newestFirst(*shown));
    EXPECT_EQ("MG90-130", shown->front()->code());
    // Two issues of one date: the one without the title's code counts as a minute newer.
    const auto order = codes(*shown);
    const auto at = [&](const char* code) { return std::find(order.begin(), order.end(), code); };
    EXPECT_EQ(at("MG90-065"), at("MG90-066") + 1);
    EXPECT_FALSE((*at("MG90-066") == order.back()));
    EXPECT_TRUE(list->isUpdateMagazineIssue());

    // The same magazine object again asks nothing.
    list->setMagazineInfo(magazine);
    EXPECT_FALSE(list->isRequestRunning());
    EXPECT_EQ(shown, list->magazineIssueArray());

    // A second list of the magazine shows the first 60 cached issues at once, newest first, and
    // the reply then replaces them.
    auto second = makeList();
    second->setMagazineInfo(magazine);
    const auto cached = second->magazineIssueArray();
    ASSERT_EQ(static_cast<size_t>(ShopBackIssueViewController::kFirstLoadLimit), cached->size());
    EXPECT_TRUE(newestFirst(*cached));
    EXPECT_FALSE(second->isUpdateMagazineIssue());
    ASSERT_TRUE(waitFor([&] { return !second->isRequestRunning(); }));
    EXPECT_NE(cached, second->magazineIssueArray());
    EXPECT_EQ(static_cast<size_t>(demo::kBackIssueCount), second->magazineIssueArray()->size());

    // No magazine: it is cleared and nothing is asked.
    const size_t before = metaCalls();
    second->setMagazineInfo(nullptr);
    EXPECT_FALSE(second->magazineInfo());
    EXPECT_FALSE(second->isRequestRunning());
    settle();
    EXPECT_EQ(before, metaCalls());
}

TEST_F(BackIssuesTest, AFailedReplyKeepsWhatIsShownAndPagesGoOnFromTheCountShown) {
    auto first = makeList();
    first->setMagazineInfo(magazine);
    ASSERT_TRUE(waitFor([&] { return !first->isRequestRunning(); }));
    user()->magazineIssueDomainWithMagazine(magazine)->resetLastUpdated();

    // The service fails the whole list: the 60 cached issues stay, and more may be asked.
    store.setFault("GetMetaMagazineIssueInfos", demo::Fault{demo::FaultKind::ServerError});
    auto list = makeList();
    list->setMagazineInfo(magazine);
    ASSERT_TRUE(waitFor([&] { return !list->isRequestRunning(); }));
    EXPECT_EQ(60u, list->magazineIssueArray()->size());
    EXPECT_TRUE(list->isUpdateMagazineIssue());
    // A failed page leaves the list as it is, and the same page may be asked again.
    list->continueUpdateMagazineIssueinfoInfo(magazine);
    ASSERT_TRUE(waitFor([&] { return !list->isRequestRunning(); }));
    EXPECT_EQ(60u, list->magazineIssueArray()->size());
    EXPECT_TRUE(list->isUpdateMagazineIssue());
    store.clearFaults();

    // Pages of 48 from the count shown, one at a time. (The issue list answers a range past
    // what it holds with the records it holds there, so what a page adds is up to it.)
    size_t calls = metaCalls();
    list->continueUpdateMagazineIssueinfoInfo(magazine);
    list->continueUpdateMagazineIssueinfoInfo(magazine);
    EXPECT_FALSE(list->isUpdateMagazineIssue());
    ASSERT_TRUE(waitFor([&] { return !list->isRequestRunning(); }));
    EXPECT_EQ(calls + 1, metaCalls());
    EXPECT_EQ(60, lastStart());
    EXPECT_EQ(48, lastLength());
    const auto paged = list->magazineIssueArray();
    EXPECT_GE(paged->size(), 60u);
    EXPECT_TRUE(newestFirst(*paged));
    EXPECT_TRUE(list->isUpdateMagazineIssue());
    list->continueUpdateMagazineIssueinfoInfo(magazine);
    ASSERT_TRUE(waitFor([&] { return !list->isRequestRunning(); }));
    EXPECT_EQ(static_cast<int64_t>(paged->size()), lastStart());
}

TEST_F(BackIssuesTest, ACoverClickAndTheBackButtonReachTheDelegateThatAnswersThem) {
    auto list = makeList();
    list->setMagazineInfo(magazine);
    ASSERT_TRUE(waitFor([&] { return !list->isRequestRunning(); }));
    const auto issue = list->magazineIssueArray()->at(3);
    auto cell = std::make_shared<BookCoverCollectionCellView>();
    cell->setRepresentedObject(plat::Value(issue));

    // A delegate that answers neither hears nothing.
    list->bookCoverCollectionCellSelect(cell);
    list->backButton_Click(nullptr);
    EXPECT_TRUE(delegate->calls().empty());

    delegate->on("shopBackIssueView:selectMagazineIssueInfo:")
        .on("shopBackIssueView:backFromBackIssueView:");
    list->bookCoverCollectionCellSelect(cell);
    list->backButton_Click(nullptr);
    ASSERT_EQ(1u, delegate->count("shopBackIssueView:selectMagazineIssueInfo:"));
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(
                  delegate->arguments("shopBackIssueView:selectMagazineIssueInfo:")[0][1]),
              issue);
    ASSERT_EQ(1u, delegate->count("shopBackIssueView:backFromBackIssueView:"));
    EXPECT_EQ("", std::any_cast<std::string>(
                      delegate->arguments("shopBackIssueView:backFromBackIssueView:")[0][1]));
    // The list itself is unchanged by a click.
    EXPECT_EQ(130u, list->magazineIssueArray()->size());
}

}  // namespace
