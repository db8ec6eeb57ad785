// The demo library's member shelves: off, the library lookups answer the whole catalogue; on,
// each member's lookups and lists hold only what that member holds, and a read-now loan lasts 15
// minutes on the service's clock unless extended.
#include "StoreTestSupport.h"
#include "demo-service/DemoMemberShelves.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

namespace {

class MemberShelvesTest : public StoreTest {
  protected:
    // The member's library records among the codes.
    std::vector<Ref<VnMagazineIssueInfo>> lookup(std::vector<std::string> codes) {
        std::vector<plat::Value> values(codes.begin(), codes.end());
        auto result = run(user()->requestForGetLibraryIssueInfo(plat::Array::make(values)));
        std::vector<Ref<VnMagazineIssueInfo>> out;
        if (auto list = result ? result->returnValue().array() : nullptr)
            for (size_t i = 0; i < list->count(); ++i)
                out.push_back(list->objectAtIndex(i).as<VnMagazineIssueInfo>());
        return out;
    }
    bool lent(const Ref<VnRequestContext>& request, std::string* messageTH = nullptr) {
        auto result = run(request);
        auto answer = result ? result->returnValue().as<VnCommonBoolReturnValue>() : nullptr;
        if (answer && messageTH)
            *messageTH = answer->messageTH().value_or("");
        return answer && answer->isSuccess();
    }
    std::vector<std::string> shelf(const Ref<VnMagazineIssueDomain>& domain) {
        auto request = domain->newDomainUpdatingRequest(nullptr);
        request->setForceUpdate(true);
        auto result = run(request);
        std::vector<std::string> codes;
        auto snapshot = result ? result->returnValue().as<VnLocalSnapshot>() : nullptr;
        if (snapshot)
            for (const auto& item : snapshot->items())
                codes.push_back(item->code().value_or(""));
        return codes;
    }
};

}  // namespace

TEST_F(MemberShelvesTest, HoldEachMembersItemsAndReadNowLoansEndOnTheClock) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue"));
    EXPECT_EQ(lookup({"BK0001", "BK0003"}).size(), 2u);  // off: the whole catalogue answers

    demo::enableMemberShelves(service, catalogue);
    auto held = lookup({"BK0001", "BK0003", "MG01-2401"});
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0]->code(), "BK0001");
    EXPECT_EQ(held[0]->itemCode_, "LN0001");
    EXPECT_FALSE(held[0]->asReadNow_);
    EXPECT_EQ(shelf(user()->bookLibraryDomain()), std::vector<std::string>{"BK0001"});
    EXPECT_TRUE(shelf(user()->libraryDomain()).empty());

    // A read-now loan: 15 minutes, each extension 15 more from its due time.
    auto book = storeItem("BK0003");
    ASSERT_TRUE(book);
    ASSERT_TRUE(lent(user()->requestForReadBookNow(book)));
    held = lookup({"BK0003"});
    ASSERT_EQ(held.size(), 1u);
    EXPECT_TRUE(held[0]->asReadNow_);
    ASSERT_TRUE(held[0]->itemCode_);
    EXPECT_NE(*held[0]->itemCode_, "BK0003");
    catalogue.advanceClock(10 * 60);
    EXPECT_TRUE(lent(user()->requestforExtendBorrowBook(held[0]->itemCode_)));
    catalogue.advanceClock(10 * 60);
    EXPECT_EQ(lookup({"BK0003"}).size(), 1u);
    catalogue.advanceClock(11 * 60);
    EXPECT_TRUE(lookup({"BK0003"}).empty());
    EXPECT_EQ(shelf(user()->bookLibraryDomain()), std::vector<std::string>{"BK0001"});

    // Another member sees only their own; no free copy refuses read-now in Thai.
    ASSERT_TRUE(signIn("nok@example.com", "nok-2567"));
    held = lookup({"BK0001", "BK0005"});
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0]->code(), "BK0005");
    EXPECT_EQ(shelf(user()->bookLibraryDomain()), std::vector<std::string>{"BK0005"});
    std::string message;
    EXPECT_FALSE(lent(user()->requestForReadBookNow(storeItem("BK0002")), &message));
    EXPECT_EQ(message, "ไม่มีสำเนาว่างให้อ่านทันที");
}
