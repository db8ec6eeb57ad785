// Issue and book lists refreshed against the demo service: batches, incremental refresh, failed
// batches and hostile replies.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "ContextTestSupport.h"
#include "support/CapturedLog.h"
#include "support/ScopedTraceSwitch.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

using demo::Json;

namespace {

class IssueListTest : public ContextTest {
  protected:
    // The library's issues in the service's order.
    std::vector<std::string> serverOrder() const {
        std::vector<std::string> codes;
        for (const auto* item : catalogue.libraryItems()) {
            if (item->kind != demo::ItemKind::Book)
                codes.push_back(item->code);
        }
        return codes;
    }
    // Refreshes the domain from the snapshot (forced); answers the recorder.
    Ref<RequestWatcher> refresh(const Ref<VnMagazineIssueDomain>& domain,
                                const Ref<VnLocalSnapshot>& from) {
        auto recorder = std::make_shared<RequestWatcher>();
        auto request = domain->newDomainUpdatingRequest(from);
        request->setForceUpdate(true);
        request->startWithDelegate(recorder, "w_");
        plat::RunLoop::current().runUntil([&] { return recorder->result != nullptr; }, 60);
        return recorder;
    }
    // The codes the batches asked for since the last clear, sorted.
    std::vector<std::string> fetched() const {
        std::vector<std::string> codes;
        for (const auto& call : store.requestsForMethod("GetMagazineIssueInfos")) {
            const Json body = Json::parse(call.body);
            for (const auto& code : body["magazineIssueCodes"])
                codes.push_back(code.get<std::string>());
        }
        std::sort(codes.begin(), codes.end());
        return codes;
    }
    Ref<VnUpdatedLocalSnapshot> snapshotOf(const Ref<RequestWatcher>& recorder) {
        EXPECT_TRUE(recorder->result && recorder->result->succeed())
            << (recorder->result ? recorder->result->description() : "no result");
        return recorder->result ? recorder->result->returnValue().as<VnUpdatedLocalSnapshot>()
                                : nullptr;
    }
};

TEST_F(IssueListTest, IncrementalRefreshFetchesOnlyWhatChanged) {
    catalogue.generateItems(2000, 7);
    auto library = context->activeUserContext()->libraryDomain();
    auto first = refresh(library, nullptr);
    auto snapshot = snapshotOf(first);
    ASSERT_TRUE(snapshot);
    const auto order = serverOrder();
    ASSERT_GE(order.size(), 1000U);
    EXPECT_TRUE(snapshot->hasUpdated());
    EXPECT_EQ(codesOf(snapshot->items()), order);
    EXPECT_EQ(snapshot->fullLengthItemCount(), static_cast<int32_t>(order.size()));
    // Started (0 of 1), then batches of 200 with progress.
    ASSERT_EQ(first->steps.size(), 1 + (order.size() + 199) / 200);
    EXPECT_EQ(first->steps[0], (std::pair{0.0F, 1.0F}));
    for (size_t i = 1; i < first->steps.size(); ++i) {
        EXPECT_EQ(first->steps[i].first, static_cast<float>(std::min(i * 200, order.size())));
        EXPECT_EQ(first->steps[i].second, static_cast<float>(order.size()));
    }

    // Revise 7, add 3, remove 2, move 5.
    std::vector<std::string> expected;
    for (int i = 0; i < 7; ++i) {
        catalogue.reviseItem(order[10 + i]);
        expected.push_back(order[10 + i]);
    }
    for (int i = 0; i < 3; ++i) {
        demo::SampleItem item;
        item.code = "NEW" + std::to_string(i);
        item.kind = demo::ItemKind::MagazineIssue;
        item.title = "New issue";
        item.libraryCopies = 1;
        item.sortIndex = 5000 + i;
        catalogue.addItem(item);
        expected.push_back(item.code);
    }
    catalogue.withdrawItem(order[100]);
    catalogue.withdrawItem(order[101]);
    for (int i = 0; i < 5; ++i)
        catalogue.moveItem(order[200 + i], -10 - i);
    store.clearRequests();
    auto second = snapshotOf(refresh(library, snapshot));
    ASSERT_TRUE(second);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fetched(), expected);
    EXPECT_TRUE(second->hasUpdated());
    EXPECT_EQ(codesOf(second->items()), serverOrder());
    EXPECT_EQ(codesOf(library->items()), serverOrder());

    // Unchanged: nothing fetched, nothing updated.
    store.clearRequests();
    auto third = snapshotOf(refresh(library, second));
    EXPECT_TRUE(fetched().empty());
    EXPECT_FALSE(third->hasUpdated());
}

TEST_F(IssueListTest, FailedBatchesKeepWhatArrivedAndTheNextRefreshFetchesTheRest) {
    catalogue.generateItems(2000, 11);
    auto library = context->activeUserContext()->libraryDomain();
    const auto order = serverOrder();
    const size_t batches = (order.size() + 199) / 200;
    ASSERT_GE(batches, 4U);

    // The third batch's connection drops: the refresh succeeds without its records, and the
    // domain does not count as refreshed.
    demo::Fault drop{demo::FaultKind::Drop};
    drop.afterCalls = 2;
    drop.calls = 1;
    store.setFault("GetMagazineIssueInfos", drop);
    auto middle = snapshotOf(refresh(library, nullptr));
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->items().size(), order.size() - 200);
    EXPECT_FALSE(library->lastUpdated());

    // After a restart each stored item is listed once, in the service's order.
    context.reset();
    context = makeContext();
    library = context->activeUserContext()->libraryDomain();
    auto listed = codesOf(library->items());
    EXPECT_EQ(listed.size(), order.size() - 200);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [&](auto& a, auto& b) {
        return std::find(order.begin(), order.end(), a) < std::find(order.begin(), order.end(), b);
    }));
    // The next refresh fetches exactly the missing 200.
    store.clearFaults();
    store.clearRequests();
    auto rest = snapshotOf(refresh(library, library->takeLocalSnapshot()));
    EXPECT_EQ(fetched().size(), 200U);
    EXPECT_EQ(codesOf(rest->items()), order);
    EXPECT_TRUE(library->lastUpdated());

    // The last batch drops: a failed refresh, yet the earlier batches are kept.
    auto books = context->activeUserContext()->bookLibraryDomain();
    demo::Fault last{demo::FaultKind::Drop};
    size_t bookCount = 0;
    for (const auto* item : catalogue.libraryItems())
        bookCount += item->kind == demo::ItemKind::Book;
    last.afterCalls = static_cast<int64_t>((bookCount + 199) / 200 - 1);
    store.setFault("GetBookInfos", last);
    auto failed = refresh(books, nullptr);
    ASSERT_TRUE(failed->result);
    EXPECT_FALSE(failed->result->succeed());
    EXPECT_EQ(books->items().size(), bookCount - (bookCount % 200 ? bookCount % 200 : 200));
    store.clearFaults();
    EXPECT_EQ(snapshotOf(refresh(books, books->takeLocalSnapshot()))->items().size(), bookCount);
}

TEST_F(IssueListTest, HostileRepliesAreRefusedBeforeAnythingIsStored) {
    auto library = context->activeUserContext()->libraryDomain();
    ASSERT_TRUE(snapshotOf(refresh(library, nullptr)));
    const auto held = codesOf(library->items());
    ASSERT_FALSE(held.empty());
    const auto table = library->userIssueInfoDataTable()->filePath();
    auto bytes = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto tableBefore = bytes(table);

    // Also a missing list and a list of nulls: neither may read as "the member holds nothing".
    for (const Json& reply : {Json("not a list"), Json(nullptr), Json::array({nullptr, nullptr}),
                              Json::array({Json{{"MagazineIssueCode", nullptr}}}),
                              Json::array({Json{{"MagazineIssueCode", ""}}}),
                              Json::array({Json{{"MagazineIssueCode", "../x"}, {"Hash", "h"}}}),
                              Json::array({Json{{"MagazineIssueCode", "a/b"}}}),
                              Json::array({Json{{"MagazineIssueCode", ".."}}})}) {
        service.addMethod("GetMetaMagazineIssueInfos",
                          [reply](const Json&, demo::Session&) { return reply; });
        auto outcome = refresh(library, library->takeLocalSnapshot());
        ASSERT_TRUE(outcome->result);
        EXPECT_FALSE(outcome->result->succeed()) << reply.dump();
        EXPECT_FALSE(outcome->result->errorMessage().value_or("").empty());
        EXPECT_EQ(bytes(table), tableBefore) << reply.dump();
        EXPECT_EQ(codesOf(library->items()), held);
    }

    // A batch answering an unusable code is a failed batch; duplicates and wrong types are not
    // fatal: one item, one row, record defaults.
    demo::registerVersion2Methods(service, catalogue);
    service.addMethod("GetMetaMagazineIssueInfos", [](const Json&, demo::Session&) {
        return Json::array(
            {Json{{"MagazineIssueCode", "DUP1"}, {"Hash", "x"}, {"SortIndex", 0}},
             Json{{"MagazineIssueCode", "DUP1"}, {"Hash", "x"}, {"SortIndex", 1}},
             Json{{"MagazineIssueCode", "ODD1"}, {"Hash", "y"}, {"SortIndex", "two"}}});
    });
    store.addMethod("GetMagazineIssueInfos", [](const Json& body, demo::Session&) {
        Json out = Json::array();
        for (const auto& code : body["magazineIssueCodes"])
            out.push_back(
                {{"Code", code}, {"Hash", code == "DUP1" ? "x" : "y"}, {"PageCount", "many"}});
        return out;
    });
    std::vector<std::string> lines = testing_support::logged([&] {
        std::optional<testing_support::ScopedTraceSwitch> everyGroup(
            std::in_place, [](std::string_view) { return true; });
        auto outcome = refresh(library, library->takeLocalSnapshot());
        everyGroup.reset();
        EXPECT_TRUE(outcome->result && outcome->result->succeed());
    });
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) {
        return l.find("Duplicate book codes detected") != std::string::npos;
    }));
    EXPECT_EQ(codesOf(library->items()), (std::vector<std::string>{"DUP1", "ODD1"}));
    auto rows = context->activeUserContext()->userStorage()->dataTableForMagazineIssueKind(
        VnMagazineIssueKind_Library);
    EXPECT_TRUE(rows->infoForCode("DUP1"));

    // A batch answering a record nobody asked for: dropped and logged, never merged.
    service.addMethod("GetMetaMagazineIssueInfos", [](const Json&, demo::Session&) {
        return Json::array({Json{{"MagazineIssueCode", "ASKED"}, {"Hash", "q"}}});
    });
    store.addMethod("GetMagazineIssueInfos", [](const Json&, demo::Session&) {
        return Json::array({Json{{"Code", "FOREIGN"}, {"Hash", "q"}}});
    });
    lines = testing_support::logged([&] {
        const testing_support::ScopedTraceSwitch errors(
            [](std::string_view group) { return group == "Error"; });
        EXPECT_TRUE(refresh(library, library->takeLocalSnapshot())->result);
    });
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](auto& l) {
        return l.find("not asked for") != std::string::npos &&
               l.find("FOREIGN") != std::string::npos;
    }));
    EXPECT_FALSE(rows->infoForCode("FOREIGN"));
    for (const auto& code : codesOf(library->items()))
        EXPECT_NE(code, "FOREIGN");

    store.addMethod("GetMagazineIssueInfos", [](const Json&, demo::Session&) {
        return Json::array({Json{{"Code", "../../escape"}}});
    });
    service.addMethod("GetMetaMagazineIssueInfos", [](const Json&, demo::Session&) {
        return Json::array({Json{{"MagazineIssueCode", "FRESH"}, {"Hash", "z"}}});
    });
    auto hostileBatch = refresh(library, library->takeLocalSnapshot());
    ASSERT_TRUE(hostileBatch->result);
    EXPECT_FALSE(hostileBatch->result->succeed());
    EXPECT_FALSE(rows->infoForCode("../../escape"));
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(VnBookStoreContext::storageRootPath()))
        EXPECT_EQ(entry.path().string().find("escape"), std::string::npos) << entry.path();
}

}  // namespace
