// A list refresh takes only codes the service gave as text, and a batch that leaves out an item
// it was asked for leaves the list not marked refreshed: nothing stored is replaced by a wrong
// code, nothing leaves the list unnoticed, and the next refresh asks for the item again.
#include <gtest/gtest.h>

#include <fstream>

#include "ContextTestSupport.h"
#include "vnlib/domain/lists/VnListItemFields.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"

using demo::Json;

namespace {

class RefreshCodeChecksTest : public ContextTest {
  protected:
    Ref<VnRequestResult> refresh(const Ref<VnMagazineIssueDomain>& domain) {
        auto watcher = std::make_shared<RequestWatcher>();
        auto request = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
        request->setForceUpdate(true);
        request->startWithDelegate(watcher, "w_");
        plat::RunLoop::current().runUntil([&] { return watcher->result != nullptr; }, 60);
        return watcher->result;
    }
    static std::string bytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(RefreshCodeChecksTest, CodesThatAreNotTextAreRefused) {
    auto library = context->activeUserContext()->libraryDomain();
    auto first = refresh(library);
    ASSERT_TRUE(first && first->succeed());
    const auto held = codesOf(library->items());
    ASSERT_FALSE(held.empty());
    const auto table = library->userIssueInfoDataTable()->filePath();
    const auto tableBefore = bytes(table);

    for (const Json& reply :
         {Json::array({1, 2, 3}), Json::array({Json{{"MagazineIssueCode", 123}}}),
          Json::array({Json{{"MagazineIssueCode", false}}}), Json::array({Json{{"Code", 7}}}),
          Json::array({Json{{"MagazineIssueCode", held.front()}, {"Hash", "h"}},
                       Json{{"MagazineIssueCode", 4.5}, {"Hash", "h"}}})}) {
        service.addMethod("GetMetaMagazineIssueInfos",
                          [reply](const Json&, demo::Session&) { return reply; });
        auto outcome = refresh(library);
        ASSERT_TRUE(outcome);
        EXPECT_FALSE(outcome->succeed()) << reply.dump();
        EXPECT_NE(outcome->errorMessage().value_or("").find("usable code"), std::string::npos)
            << outcome->errorMessage().value_or("");
        EXPECT_EQ(bytes(table), tableBefore) << reply.dump();
        EXPECT_EQ(codesOf(library->items()), held) << reply.dump();
    }
}

TEST_F(RefreshCodeChecksTest, AnAskedItemThatDoesNotComeBackLeavesTheListNotRefreshed) {
    auto library = context->activeUserContext()->libraryDomain();
    auto first = refresh(library);
    ASSERT_TRUE(first && first->succeed());
    const auto held = library->items();
    ASSERT_GE(held.size(), 2U);
    const auto heldCodes = codesOf(held);
    const auto updated = library->lastUpdated();

    // The same list, but the first item's hash changed and one new item: both are asked for.
    Json references = Json::array();
    for (size_t i = 0; i < held.size(); ++i) {
        const auto& hash = VnHashOf(held[i]);
        references.push_back({{"MagazineIssueCode", *held[i]->code()},
                              {"Hash", i == 0 ? std::string("changed") : hash.value_or("")},
                              {"SortIndex", static_cast<int>(i)}});
    }
    references.push_back(
        {{"MagazineIssueCode", "NEW-ISSUE"}, {"Hash", "n"}, {"SortIndex", held.size()}});
    service.addMethod("GetMetaMagazineIssueInfos",
                      [references](const Json&, demo::Session&) { return references; });

    // A failed batch, the last: the refresh fails.
    store.setFault("GetMagazineIssueInfos", {demo::FaultKind::ServerError});
    auto failed = refresh(library);
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->succeed());
    EXPECT_EQ(codesOf(library->items()), heldCodes);
    EXPECT_EQ(library->lastUpdated(), updated);
    store.clearFaults();
    // A batch that leaves asked items out: the refresh ends well with what came, the list is not
    // marked refreshed, and the next refresh asks for the items again.
    for (const Json& batch :
         {Json(nullptr), Json::array({nullptr}), Json::array({Json{{"Code", "NOT-ASKED"}}}),
          Json::array({Json{{"Code", heldCodes.front()}, {"Hash", "changed"}}})}) {
        store.addMethod("GetMagazineIssueInfos",
                        [batch](const Json&, demo::Session&) { return batch; });
        store.clearRequests();
        auto outcome = refresh(library);
        ASSERT_TRUE(outcome);
        EXPECT_TRUE(outcome->succeed())
            << batch.dump() << " " << outcome->errorMessage().value_or("");
        EXPECT_EQ(codesOf(library->items()), heldCodes) << batch.dump();
        EXPECT_EQ(library->lastUpdated(), updated) << batch.dump();
        const auto asked = store.requestsForMethod("GetMagazineIssueInfos");
        ASSERT_EQ(asked.size(), 1U);
        EXPECT_NE(asked[0].body.find("NEW-ISSUE"), std::string::npos) << asked[0].body;
    }
    EXPECT_EQ(VnHashOf(library->items().front()).value_or(""), "changed") << "what came is kept";

    // Once every asked item comes back, the refresh succeeds and lists the new one.
    store.addMethod("GetMagazineIssueInfos", [](const Json& body, demo::Session&) {
        Json out = Json::array();
        for (const auto& code : body["magazineIssueCodes"])
            out.push_back({{"Code", code}, {"Hash", code == "NEW-ISSUE" ? "n" : "changed"}});
        return out;
    });
    auto outcome = refresh(library);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->succeed()) << outcome->errorMessage().value_or("");
    const auto codes = codesOf(library->items());
    EXPECT_NE(std::find(codes.begin(), codes.end(), "NEW-ISSUE"), codes.end());
    EXPECT_NE(library->lastUpdated(), updated);
}

}  // namespace
