// The magazine list refresh against the demo service, whose titles change while it runs.
#include <gtest/gtest.h>

#include <optional>

#include "DomainTestSupport.h"
#include "demo-service/DemoService.h"
#include "demo-service/V3StoreService.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/CapturedLog.h"
#include "support/ScopedTraceSwitch.h"
#include "vnlib/domain/lists/VnMagazineDomain.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

namespace {

constexpr const char* kToken = "magazine-domain-session";

// Records the item-level messages of a refresh, by code.
class ItemWatcher : public plat::Object {
    PLAT_CLASS(ItemWatcher)
  public:
    static std::vector<std::string> codes(const plat::Value& list) {
        std::vector<std::string> out;
        list.array()->enumerate([&](const plat::Value& v) {
            Ref<VnInfo> info = v.as<VnInfo>();
            if (auto change = v.as<VnDataChangeRecord>())
                info = change->changeType() == VnDataChangeRecord::Removed ? change->originalData()
                                                                           : change->updatedData();
            out.push_back(info->code().value_or(""));
            return true;
        });
        std::sort(out.begin(), out.end());
        return out;
    }
    void added(Ref<VnDomainUpdatingRequest>, plat::Value list) { addedCodes = codes(list); }
    void changed(Ref<VnDomainUpdatingRequest>, plat::Value list) { changedCodes = codes(list); }
    void removed(Ref<VnDomainUpdatingRequest>, plat::Value list) { removedCodes = codes(list); }
    std::vector<std::string> addedCodes, changedCodes, removedCodes;
};

class MagazineDomainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = testing_support::freshTestFolder();
        catalogue.rememberSessionToken(kToken, "somchai@example.com");
        demo::registerStoreService(service, catalogue, "VARNEL");
        ASSERT_TRUE(service.start());
        auto configuration = std::make_shared<VnClientServiceConfiguration>();
        configuration->setAppCode("VARNEL");
        userContext = std::make_shared<TestUserContext>();
        userContext->session = std::make_shared<VnStoreRemoteSession>(
            *plat::Url::parse(service.serviceUrl()), configuration);
        userContext->session->setSessionContext(
            std::make_shared<VnServiceSessionContext>("VARNEL", kToken, false));
        domain = makeDomain();
        traces.emplace(
            [](std::string_view group) { return group == "Performance" || group == "Error"; });
    }
    void TearDown() override { traces.reset(); }

    Ref<VnMagazineDomain> makeDomain(Ref<VnRequestContext> itemsRequest = nullptr) {
        if (!itemsRequest)
            itemsRequest = userContext->session->newMetaMagazineInfosRequestWithCategoryCode(
                std::nullopt, std::nullopt);
        auto made = std::make_shared<VnMagazineDomain>(
            userContext, VnMagazineInfo::classObject(), std::move(itemsRequest),
            std::make_shared<VnLocalArchive>(folder / "Magazines"));
        made->setCategory("_ALL");
        return made;
    }

    // Refreshes from the snapshot; answers the new snapshot.
    Ref<VnUpdatedLocalSnapshot> refresh(const Ref<VnLocalSnapshot>& from, VnIndexRange range = {},
                                        const Ref<plat::Object>& watcher = nullptr) {
        auto request = domain->newDomainUpdatingRequest(from);
        request->setForceUpdate(true);
        request->setUpdateRange(range);
        request->setItemUpdateDelegate(watcher);
        auto result = runToEnd(request);
        EXPECT_TRUE(result && result->succeed()) << (result ? result->description() : "none");
        return returned<VnUpdatedLocalSnapshot>(result);
    }

    std::vector<std::string> fetchedCodes() {
        auto calls = service.requestsForMethod("GetMagazineInfosEx");
        if (calls.empty())
            return {};
        std::vector<std::string> codes =
            demo::Json::parse(calls.back().body)["magazineCodes"].get<std::vector<std::string>>();
        std::sort(codes.begin(), codes.end());
        return codes;
    }

    std::vector<std::string> serverOrder() {
        std::vector<std::string> codes;
        for (const auto& t : catalogue.titles())
            codes.push_back(t.code);
        return codes;
    }

    static bool sorted(const VnInfoList& items) {
        return std::is_sorted(items.begin(), items.end(), [](auto& a, auto& b) {
            return std::static_pointer_cast<VnMagazineInfo>(a)->sortIndex_ <
                   std::static_pointer_cast<VnMagazineInfo>(b)->sortIndex_;
        });
    }

    std::filesystem::path folder;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    Ref<TestUserContext> userContext;
    Ref<VnMagazineDomain> domain;
    // The groups these tests read, until each test ends.
    std::optional<testing_support::ScopedTraceSwitch> traces;
};

TEST_F(MagazineDomainTest, RefreshFetchesOnlyNewAndChangedTitles) {
    auto first = refresh(nullptr);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->hasUpdated());
    EXPECT_EQ(codesOf(first->items()), serverOrder());
    EXPECT_GT(first->lastUpdated().seconds, 0);  // the caller's snapshot carries the refresh
    EXPECT_EQ(service.requestsForMethod("GetMagazineInfosEx").size(), 1U);

    // Unchanged: nothing fetched, nothing updated, the log says so.
    service.clearRequests();
    Ref<VnUpdatedLocalSnapshot> same;
    auto lines = testing_support::logged([&] { same = refresh(first); });
    EXPECT_FALSE(same->hasUpdated());
    EXPECT_TRUE(service.requestsForMethod("GetMagazineInfosEx").empty());
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) {
        return l.find("No changes detected in magazine category _ALL") != std::string::npos;
    }));

    // Withdrawn, revised, moved and added titles: removals and one fetch of exactly those.
    const auto codes = serverOrder();
    ASSERT_GE(codes.size(), 4U);
    catalogue.withdrawTitle(codes[0]);
    catalogue.reviseTitle(codes[1]);
    catalogue.moveTitle(codes[2], 99);
    demo::SampleTitle added;
    added.code = "MGNEW";
    added.name = "New title";
    added.sortIndex = 1;
    catalogue.addTitle(added);
    service.clearRequests();
    auto watcher = std::make_shared<ItemWatcher>();
    auto changed = refresh(same, {}, watcher);
    EXPECT_TRUE(changed->hasUpdated());
    auto expectedFetch = std::vector<std::string>{codes[1], codes[2], "MGNEW"};
    std::sort(expectedFetch.begin(), expectedFetch.end());
    EXPECT_EQ(fetchedCodes(), expectedFetch);
    EXPECT_EQ(service.requestsForMethod("GetMagazineInfosEx").size(), 1U);
    EXPECT_EQ(watcher->removedCodes, std::vector<std::string>{codes[0]});
    EXPECT_EQ(watcher->addedCodes, std::vector<std::string>{"MGNEW"});
    auto changedExpected = std::vector<std::string>{codes[1], codes[2]};
    std::sort(changedExpected.begin(), changedExpected.end());
    EXPECT_EQ(watcher->changedCodes, changedExpected);
    EXPECT_EQ(codesOf(changed->items()), serverOrder());
    EXPECT_TRUE(sorted(domain->items()));

    // A new domain on the same files serves the table until its first refresh.
    EXPECT_EQ(codesOf(makeDomain()->items()), serverOrder());
}

TEST_F(MagazineDomainTest, RangedRefreshResetsToThePageAndCancelMergesNothing) {
    for (int i = 0; i < 40; ++i) {
        demo::SampleTitle t;
        t.code = "MGX" + std::to_string(100 + i);
        t.name = "Extra " + std::to_string(i);
        t.sortIndex = 10 + i;
        catalogue.addTitle(t);
    }
    auto all = refresh(nullptr);
    ASSERT_GE(all->items().size(), 40U);
    const auto order = serverOrder();

    // Nothing to fetch in the page: the held list stays whole, the snapshot shows the range.
    auto page = refresh(all, {0, 24});
    EXPECT_EQ(page->items().size(), 24U);
    EXPECT_EQ(domain->items().size(), order.size());

    // One title of the page changed: the held list becomes that page, in server order.
    catalogue.reviseTitle(order[5]);
    page = refresh(all, {0, 24});
    EXPECT_EQ(codesOf(domain->items()),
              std::vector<std::string>(order.begin(), order.begin() + 24));
    EXPECT_TRUE(page->hasUpdated());

    // Cancelled while the titles are fetched: nothing is merged, nothing is heard.
    catalogue.reviseTitle(order[6]);
    const auto before = codesOf(domain->items());
    const auto heldSix = domain->items()[6];
    auto request = std::static_pointer_cast<VnMagazineDomainUpdatingRequest>(
        domain->newDomainUpdatingRequest(VnLocalSnapshot::empty()));
    bool heard = false;
    request->startWithDidFinishBlock([&](auto&, auto&) { heard = true; });
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return request->realInfoRequest() != nullptr; }));
    auto fetch = request->realInfoRequest();
    request->cancel();
    EXPECT_FALSE(fetch->running());
    plat::RunLoop::current().runUntil([] { return false; }, 0.3);
    EXPECT_FALSE(heard);
    EXPECT_EQ(domain->items()[6], heldSix);
    EXPECT_EQ(codesOf(domain->items()), before);
}

TEST_F(MagazineDomainTest, HostileMetaListsAreFetchedAndLoggedWithoutHarm) {
    // References without hashes, a repeated code and wrong-typed fields, answered by the test.
    auto items = std::make_shared<TestItemsRequest>();
    items->answer = [] {
        auto refs = std::vector<plat::Value>{};
        for (const char* json : {R"({"Code":"MG01","SortIndex":"nine"})",
                                 R"({"Code":"MG01","Hash":7})", R"({"Code":["x"],"Hash":"h"})",
                                 R"({"Code":"MG02","Hash":"MG02-r1","SortIndex":{}})"}) {
            auto ref = std::make_shared<VnMagazineMetaInfo>();
            ref->initWithJSONString(json);
            refs.push_back(plat::Value::fromObject(ref));
        }
        return VnRequestResult::resultWithReturnValue(
            plat::Value::fromObject(plat::Array::make(std::move(refs))), nullptr);
    };
    domain = makeDomain(items);
    Ref<VnUpdatedLocalSnapshot> snapshot;
    auto lines = testing_support::logged([&] { snapshot = refresh(nullptr); });
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(fetchedCodes(), (std::vector<std::string>{"MG01", "MG02"}));
    EXPECT_FALSE(lines.empty());
    // The table holds what was fetched, readable by a new domain.
    EXPECT_EQ(codesOf(makeDomain()->items()), codesOf(domain->items()));
}

TEST_F(MagazineDomainTest, AMissingOrNullTitleListFailsAndKeepsTheHeldTitles) {
    ASSERT_TRUE(refresh(nullptr));
    const auto held = codesOf(domain->items());
    ASSERT_GE(held.size(), 3U);
    for (const plat::Value& reply :
         {plat::Value(), plat::Value::null(),
          plat::Value(plat::Array::make({plat::Value::null(), plat::Value::null()}))}) {
        auto items = std::make_shared<TestItemsRequest>();
        items->answer = [reply] { return VnRequestResult::resultWithReturnValue(reply, nullptr); };
        domain = makeDomain(items);
        auto request = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
        request->setForceUpdate(true);
        auto result = runToEnd(request);
        ASSERT_TRUE(result);
        EXPECT_FALSE(result->succeed()) << reply.description();
        EXPECT_EQ(codesOf(domain->items()), held);
        EXPECT_EQ(codesOf(makeDomain()->items()), held);  // the table too
    }
}

// A title that the fetch leaves out: the refresh ends well with the titles that came, the list is
// not marked refreshed, and the next refresh asks for the missing one again.
TEST_F(MagazineDomainTest, ATitleTheFetchLeavesOutIsAskedForAgain) {
    auto first = refresh(nullptr);
    ASSERT_TRUE(first);
    const auto order = serverOrder();
    ASSERT_GE(order.size(), 3U);
    catalogue.reviseTitle(order[0]);
    catalogue.reviseTitle(order[1]);
    const auto fetch = service.methodHandler("GetMagazineInfosEx");
    ASSERT_TRUE(fetch);
    service.addMethodWithRequest(
        "GetMagazineInfosEx",
        [&](const demo::Json& body, demo::Session& session, const demo::RecordedRequest& request) {
            demo::Json all = fetch(body, session, request);
            demo::Json kept = demo::Json::array();
            for (const auto& record : all)
                if (record.value("Code", "") != order[0])
                    kept.push_back(record);
            return kept;
        });
    const auto updated = domain->lastUpdated();
    auto request = domain->newDomainUpdatingRequest(first);
    request->setForceUpdate(true);
    auto result = runToEnd(request);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->succeed()) << result->errorMessage().value_or("");
    EXPECT_EQ(domain->lastUpdated(), updated) << "not marked refreshed";
    EXPECT_EQ(codesOf(domain->items()), order) << "no title leaves the list";

    // Answered whole again: the refresh asks for the left-out title again and succeeds.
    service.addMethodWithRequest("GetMagazineInfosEx", fetch);
    service.clearRequests();
    auto again = refresh(domain->takeLocalSnapshot());
    ASSERT_TRUE(again);
    const auto asked = fetchedCodes();
    EXPECT_NE(std::find(asked.begin(), asked.end(), order[0]), asked.end());
    EXPECT_NE(domain->lastUpdated(), updated);
}

}  // namespace

PLAT_DEFINE_CLASS(ItemWatcher, plat::Object, [](auto& c) {
    c.method("domainUpdatingRequest:itemsAdded:", &ItemWatcher::added);
    c.method("domainUpdatingRequest:itemsChanged:", &ItemWatcher::changed);
    c.method("domainUpdatingRequest:itemsRemoved:", &ItemWatcher::removed);
})
