#include <gtest/gtest.h>

#include <tuple>

#include "DomainTestSupport.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"
#include "vnlib/domain/lists/VnRequestContextChain.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"

namespace {

class DomainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = testing_support::freshTestFolder();
        archive = std::make_shared<VnLocalArchive>(folder / "store");
        userContext = std::make_shared<TestUserContext>();
        itemsRequest = std::make_shared<TestItemsRequest>();
        domain = makeDomain();
    }

    Ref<VnStoreDomain> makeDomain() {
        return std::make_shared<VnStoreDomain>(userContext, VnMagazineInfo::classObject(),
                                               itemsRequest, archive);
    }

    // Answers the list of titles.
    void answerWith(const VnInfoList& items) {
        itemsRequest->answer = [items] {
            return VnRequestResult::resultWithReturnValue(VnInfoListValue(items), nullptr);
        };
    }

    std::filesystem::path folder;
    Ref<VnLocalArchive> archive;
    Ref<TestUserContext> userContext;
    Ref<TestItemsRequest> itemsRequest;
    Ref<VnStoreDomain> domain;
};

TEST_F(DomainTest, HeldListMergesByCodeAndSnapshotsSliceIt) {
    // Empty storage: an empty list dated 1970, always stale.
    auto empty = domain->takeLocalSnapshot();
    EXPECT_TRUE(empty->items().empty());
    EXPECT_EQ(empty->lastUpdated().seconds, 0);
    EXPECT_TRUE(domain->snapshotShouldUpdate(empty));

    VnInfoList fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen.push_back(title("T" + std::to_string(i)));
    domain->notifyItemLoaded(fifteen);

    // A held code is replaced and moves to the end; a new code is appended.
    auto revised = title("T3", "h2");
    domain->notifyItemsAddOrUpdate({revised, title("N1")});
    ASSERT_EQ(domain->items().size(), 16U);
    EXPECT_EQ(domain->items()[14], revised);
    EXPECT_EQ(codesOf(domain->items()).back(), "N1");

    EXPECT_EQ(codesOf(domain->takeLocalSnapshotWithUpdateFlag(false, {10, 20})->items()),
              (std::vector<std::string>{"T11", "T12", "T13", "T14", "T3", "N1"}));
    EXPECT_TRUE(domain->takeLocalSnapshotWithUpdateFlag(false, {20, 5})->items().empty());
    EXPECT_EQ(codesOf(domain->takeLocalSnapshotForCodes({"N1", "zz", "T0", "N1"})->items()),
              (std::vector<std::string>{"N1", "T0", "N1"}));

    domain->notifyItemsRemoved({revised});
    EXPECT_EQ(domain->items().size(), 15U);

    // Storage follows: a second domain over the same table reads the same codes (a table keeps
    // no order).
    auto stored = codesOf(makeDomain()->items());
    auto held = codesOf(domain->items());
    std::sort(stored.begin(), stored.end());
    std::sort(held.begin(), held.end());
    EXPECT_EQ(stored, held);

    // Removing everything from a never-loaded domain still stores the empty list.
    auto fresh = makeDomain();
    fresh->notifyItemsRemovedAll();
    EXPECT_FALSE(fresh->loadedFromPersistentStorage());
    EXPECT_TRUE(makeDomain()->items().empty());
}

TEST_F(DomainTest, AHeldObjectGivenAgainIsListedOnceWhereItWasGivenLast) {
    VnInfoList six;
    for (int i = 0; i < 6; ++i)
        six.push_back(title("T" + std::to_string(i)));
    domain->notifyItemLoaded(six);
    auto t2 = domain->items()[2];
    domain->notifyItemsAddOrUpdate({t2, t2});
    EXPECT_EQ(codesOf(domain->items()),
              (std::vector<std::string>{"T0", "T1", "T3", "T4", "T5", "T2"}));
    EXPECT_EQ(domain->items().back(), t2);
    // Given before another record of its code: only the later one stays.
    auto t2again = title("T2", "h3");
    auto t4 = domain->items()[3];
    domain->notifyItemsAddOrUpdate({t2, t4, t2again, title("N1")});
    EXPECT_EQ(codesOf(domain->items()),
              (std::vector<std::string>{"T0", "T1", "T3", "T5", "T4", "T2", "N1"}));
    EXPECT_EQ(domain->items()[5], t2again);
    EXPECT_EQ(std::count(domain->items().begin(), domain->items().end(), t2), 0);
}

// A list holding nothing yet lists what it is given as given, then behaves as any held list.
TEST_F(DomainTest, AnEmptyListTakesItsFirstItemsInTheOrderGiven) {
    ASSERT_TRUE(domain->items().empty());
    auto a = title("A"), b = title("B");
    domain->notifyItemsAddOrUpdate({a, b, title("C")});
    EXPECT_EQ(codesOf(domain->items()), (std::vector<std::string>{"A", "B", "C"}));
    domain->notifyItemsAddOrUpdate({a, title("D")});
    EXPECT_EQ(codesOf(domain->items()), (std::vector<std::string>{"B", "C", "A", "D"}));
    EXPECT_EQ(domain->items()[2], a);
}

TEST_F(DomainTest, FreshnessFollowsTheCallersSnapshot) {
    domain->markUpdated();
    EXPECT_EQ(userContext->marked, 1);
    const double now = plat::Date::now().seconds;
    auto aged = [](double seconds) {
        return VnLocalSnapshot::snapshotsWithItems({},
                                                   plat::Date{plat::Date::now().seconds - seconds});
    };
    EXPECT_FALSE(domain->snapshotShouldUpdate(aged(3599)));
    EXPECT_TRUE(domain->snapshotShouldUpdate(aged(3601)));
    EXPECT_TRUE(domain->snapshotShouldUpdate(VnLocalSnapshot::empty()));
    domain->setAlwaysRequestUpdate(true);
    EXPECT_TRUE(domain->snapshotShouldUpdate(aged(1)));
    EXPECT_GE(domain->snapshotDate().seconds, now - 1);
}

TEST_F(DomainTest, DifferenceListsNewAndModifiedInNewOrderThenRemoved) {
    auto a = title("A"), b = title("B"), c = title("C");
    auto c2 = title("C"), d = title("D"), a2 = title("A");
    auto snapshot = VnLocalSnapshot::snapshotsWithItems({a, b, c}, plat::Date{0});
    auto changes = snapshot->compareWithNewItems(
        {c2, d, a2}, [&](const Ref<VnInfo>& n, const Ref<VnInfo>&) { return n == c2; });
    ASSERT_EQ(changes.size(), 3U);
    EXPECT_EQ(changes[0]->changeType(), VnDataChangeRecord::Modified);
    EXPECT_EQ(changes[0]->updatedData(), c2);
    EXPECT_EQ(changes[0]->originalData(), c);
    EXPECT_EQ(changes[1]->changeType(), VnDataChangeRecord::New);
    EXPECT_EQ(changes[1]->updatedData(), d);
    EXPECT_EQ(changes[2]->changeType(), VnDataChangeRecord::Removed);
    EXPECT_EQ(changes[2]->originalData(), b);
    EXPECT_TRUE(
        snapshot->compareWithNewItems({a, b, c}, [](auto&, auto&) { return false; }).empty());
    EXPECT_THROW(VnDataChangeRecord::changeWithNewData(nullptr), plat::Exception);
}

TEST_F(DomainTest, UpdatingRequestsShareOneServerCallAndFreshSnapshotsStayLocal) {
    answerWith({title("A"), title("B")});
    std::vector<Ref<VnRequestResult>> results(3);
    std::vector<Ref<VnDomainUpdatingRequest>> requests;
    for (int i = 0; i < 3; ++i) {
        requests.push_back(domain->newDomainUpdatingRequest(nullptr));
        requests.back()->startWithDidFinishBlock(
            [&results, i](const Ref<VnRequestResult>& r, const plat::Value&) { results[i] = r; });
    }
    plat::RunLoop::current().runUntil([&] { return results[2] != nullptr; });
    EXPECT_EQ(itemsRequest->starts, 1);
    EXPECT_EQ(userContext->executed, 3);  // each joint request passes the gate
    for (const auto& result : results) {
        ASSERT_TRUE(result && result->succeed());
        auto snapshot = returned<VnUpdatedLocalSnapshot>(result);
        ASSERT_TRUE(snapshot);
        EXPECT_TRUE(snapshot->hasUpdated());
        EXPECT_EQ(codesOf(snapshot->items()), (std::vector<std::string>{"A", "B"}));
    }
    EXPECT_TRUE(domain->lastUpdated());
    EXPECT_FALSE(itemsRequest->paramsAtStart);  // unranged: no paging parameters

    // A fresh snapshot is answered locally, on a later turn, without a server call.
    auto fresh = returned<VnUpdatedLocalSnapshot>(results[0]);
    auto local = domain->newDomainUpdatingRequest(fresh);
    bool finishedInCall = false;
    Ref<VnRequestResult> localResult;
    local->startWithDidFinishBlock([&](const Ref<VnRequestResult>& r, const plat::Value&) {
        localResult = r;
        finishedInCall = true;
    });
    EXPECT_FALSE(finishedInCall);
    plat::RunLoop::current().runUntil([&] { return localResult != nullptr; });
    EXPECT_FALSE(returned<VnUpdatedLocalSnapshot>(localResult)->hasUpdated());
    EXPECT_EQ(itemsRequest->starts, 1);

    // Forced: the server is asked again.
    auto forced = domain->newDomainUpdatingRequest(fresh);
    forced->setForceUpdate(true);
    EXPECT_TRUE(runToEnd(forced)->succeed());
    EXPECT_EQ(itemsRequest->starts, 2);
}

TEST_F(DomainTest, RangedFailedEmptyAndSingleAnswers) {
    VnInfoList fifty;
    for (int i = 0; i < 50; ++i)
        fifty.push_back(title("T" + std::to_string(i)));
    answerWith(fifty);
    domain->markUpdated();  // fresh, yet a range inside a longer snapshot asks the server
    auto ranged = domain->newDomainUpdatingRequest(
        VnLocalSnapshot::snapshotsWithItems(fifty, plat::Date::now()));
    ranged->setUpdateRange({0, 20});
    const auto marked = userContext->marked;
    auto result = runToEnd(ranged);
    ASSERT_TRUE(result && result->succeed());
    ASSERT_TRUE(itemsRequest->paramsAtStart);
    EXPECT_EQ(itemsRequest->paramsAtStart->objectForKey("start").intValue(), 0);
    EXPECT_EQ(itemsRequest->paramsAtStart->objectForKey("length").intValue(), 20);
    EXPECT_EQ(returned<VnUpdatedLocalSnapshot>(result)->items().size(), 20U);
    EXPECT_EQ(userContext->marked, marked);  // a range does not mark the domain

    // A failure reaches the caller with the item request's error; the list stays.
    itemsRequest->answer = [] {
        return VnRequestResult::resultWithReturnValue(
            {}, plat::Error::withDescription("TestDomain", 7, "server down"));
    };
    result = runToEnd(domain->newDomainUpdatingRequest(nullptr));
    ASSERT_TRUE(result && !result->succeed());
    EXPECT_EQ(result->error()->code(), 7);
    EXPECT_EQ(domain->items().size(), 50U);

    // No value: an empty list. One record: a one-element list.
    itemsRequest->answer = [] { return VnRequestResult::resultWithReturnValue({}, nullptr); };
    result = runToEnd(domain->newDomainUpdatingRequest(nullptr));
    ASSERT_TRUE(result && result->succeed());
    EXPECT_TRUE(domain->items().empty());
    itemsRequest->answer = [] {
        return VnRequestResult::resultWithReturnValue(plat::Value::fromObject(title("ONE")),
                                                      nullptr);
    };
    runToEnd(domain->newDomainUpdatingRequest(nullptr));
    EXPECT_EQ(codesOf(domain->items()), std::vector<std::string>{"ONE"});
}

TEST_F(DomainTest, DirectPathJoinsARunningRequestAndCancelStaysSilent) {
    answerWith({title("X")});
    itemsRequest->autoFinish = false;
    itemsRequest->start();
    auto updating =
        std::make_shared<VnDomainUpdatingRequest>(domain, itemsRequest, VnLocalSnapshot::empty());
    Ref<VnRequestResult> result;
    updating->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
    EXPECT_EQ(itemsRequest->starts, 1);
    itemsRequest->finishNow();
    ASSERT_TRUE(result && result->succeed());
    EXPECT_EQ(codesOf(domain->items()), std::vector<std::string>{"X"});

    // Cancel goes through the gate and nothing is delivered.
    auto cancelled = domain->newDomainUpdatingRequest(nullptr);
    bool heard = false;
    cancelled->startWithDidFinishBlock([&](auto&, auto&) { heard = true; });
    cancelled->cancel();
    EXPECT_GE(userContext->cancelled, 1);
    itemsRequest->finishNow();
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    EXPECT_FALSE(heard);
}

TEST_F(DomainTest, TableNamesStayInsideTheArchive) {
    for (const std::string& name :
         std::vector<std::string>{"../../escape", "a/b", std::string("nul\0name", 8), ".."}) {
        domain->setDataTableName(name);
        domain->notifyItemLoaded({title("Z")});
        EXPECT_EQ(domain->dataTable()->filePath().parent_path(), archive->archivePath()) << name;
    }
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "store")) {
        EXPECT_EQ(entry.path().parent_path(), archive->archivePath()) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 4U);
}

// Subclasses that use the two hooks the base leaves empty.
class SnapshotDomain : public VnStoreDomain {
  public:
    using VnStoreDomain::VnStoreDomain;
    Ref<VnLocalSnapshot> coreTakeLocalSnapshot() override {
        return VnLocalSnapshot::snapshotsWithItems({title("OWN")}, plat::Date{});
    }
};

class CountingUpdate : public VnDomainUpdatingRequest {
  public:
    using VnDomainUpdatingRequest::VnDomainUpdatingRequest;
    void processReceivedItems(const VnInfoList& items) override { received += items.size(); }
    size_t received = 0;
};

TEST_F(DomainTest, SubclassHooksAnswerInPlaceOfTheEmptyBase) {
    EXPECT_FALSE(domain->coreTakeLocalSnapshot());
    Ref<VnDomain> own = std::make_shared<SnapshotDomain>(userContext, VnMagazineInfo::classObject(),
                                                         itemsRequest, archive);
    EXPECT_EQ(codesOf(own->coreTakeLocalSnapshot()->items()), std::vector<std::string>{"OWN"});

    auto counting =
        std::make_shared<CountingUpdate>(domain, itemsRequest, VnLocalSnapshot::empty());
    VnDomainUpdatingRequest& base = *counting;
    base.processReceivedItems({title("A"), title("B")});
    EXPECT_EQ(counting->received, 2U);
    auto plain =
        std::make_shared<VnDomainUpdatingRequest>(domain, itemsRequest, VnLocalSnapshot::empty());
    plain->processReceivedItems({title("A")});  // the base ignores them
    EXPECT_TRUE(domain->items().empty());
}

// A reference of a class of its own below the server's: read like its base.
class LocalIssueReference : public VnMagazineIssueMetaInfo {};

// Every kind of list item answers its own position and its record's hash, whether its class is
// one of the list classes themselves or derives from one; anything else sorts as 0 without one.
TEST(ListItemFields, PositionsAndHashesOfEveryKindOfItem) {
    auto record = std::make_shared<VnMagazineIssueInfo>();
    record->sortIndex_ = 5;
    record->setHashString("issue");
    auto listed = std::make_shared<VnMagazineIssueInfoProxy>(record);
    listed->setSortIndex(9);
    auto title = std::make_shared<VnMagazineInfo>();
    title->sortIndex_ = 3;
    title->setHashText("title");
    auto reference = std::make_shared<VnMagazineIssueMetaInfo>();
    reference->sortIndex_ = 7;
    reference->setHashString("reference");
    auto titleReference = std::make_shared<VnMagazineMetaInfo>();
    titleReference->sortIndex_ = 8;
    titleReference->setHashString("title reference");
    auto local = std::make_shared<LocalIssueReference>();
    local->sortIndex_ = 4;
    local->setHashString("local");
    auto user = VnUserMagazineIssueInfo::itemWithMagazineIssueCode("GI1");
    user->setSortIndex(11);

    const std::vector<std::tuple<Ref<VnInfo>, int32_t, std::optional<std::string>>> expected = {
        {listed, 9, "issue"},
        {record, 5, "issue"},
        {title, 3, "title"},
        {reference, 7, "reference"},
        {titleReference, 8, "title reference"},
        {local, 4, "local"},
        {user, 11, std::nullopt},
        {std::make_shared<VnInfo>(), 0, std::nullopt},
        {nullptr, 0, std::nullopt},
    };
    for (const auto& [item, position, hash] : expected) {
        const std::string what = item ? item->className() : "(null)";
        EXPECT_EQ(VnSortIndexOf(item), position) << what;
        EXPECT_EQ(VnHashOf(item), hash) << what;
    }
}

TEST(RequestChainTest, StepsInOrderStopAtAFailureAndCancelTheRunningStep) {
    auto step = [](const char* value, bool fail = false) {
        auto request = std::make_shared<TestItemsRequest>();
        request->answer = [value, fail] {
            return VnRequestResult::resultWithReturnValue(
                plat::Value(value),
                fail ? plat::Error::withDescription("Test", 1, value) : nullptr);
        };
        return request;
    };
    auto a = step("a"), b = step("b"), c = step("c");
    auto result = runToEnd(
        std::make_shared<VnRequestContextChain>(std::vector<Ref<VnRequestContext>>{a, b, c}));
    ASSERT_TRUE(result && result->succeed());
    EXPECT_EQ(result->returnValue().stringOr(), "c");
    EXPECT_EQ(a->starts + b->starts + c->starts, 3);

    result =
        runToEnd(std::make_shared<VnRequestContextChain>(std::vector<Ref<VnRequestContext>>{}));
    ASSERT_TRUE(result && result->succeed());
    EXPECT_TRUE(result->returnValue().isNil());

    auto bad = step("bad", true), after = step("after");
    result = runToEnd(std::make_shared<VnRequestContextChain>(
        std::vector<Ref<VnRequestContext>>{step("ok"), bad, after}));
    ASSERT_TRUE(result && !result->succeed());
    EXPECT_EQ(result->errorMessage(), "bad");
    EXPECT_EQ(after->starts, 0);

    auto slow = step("slow"), never = step("never");
    slow->autoFinish = false;
    auto chain =
        std::make_shared<VnRequestContextChain>(std::vector<Ref<VnRequestContext>>{slow, never});
    bool heard = false;
    chain->startWithDidFinishBlock([&](auto&, auto&) { heard = true; });
    EXPECT_TRUE(slow->running());
    chain->cancel();
    EXPECT_FALSE(slow->running());
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    EXPECT_FALSE(heard);
    EXPECT_EQ(never->starts, 0);
}

}  // namespace
