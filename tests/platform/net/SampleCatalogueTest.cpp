// The demo library's lending rules, on its catalogue.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "demo-service/SampleCatalogue.h"

namespace {

constexpr const char* kNok = "nok@example.com";
constexpr const char* kSomchai = "somchai@example.com";
// A book of one copy: once a member holds it, no copy is free and a reservation would be taken.
constexpr const char* kOneCopy = "BK0004";

// A member who holds a book, however the loan came, cannot reserve it: the refusal is the one a
// second loan of it gets, and no reservation is recorded.
TEST(SampleCatalogueTest, AMemberHoldingABookIsRefusedItsReservationAsASecondLoan) {
    struct Way {
        const char* name;
        std::function<bool(demo::SampleCatalogue&)> lend;
    };
    const std::vector<Way> ways = {
        {"borrowed", [](auto& c) { return c.borrow(kNok, kOneCopy).success; }},
        {"claimed",
         [](auto& c) {
             // The copy comes back while Nok waits for it, and she claims it.
             return c.borrow(kSomchai, kOneCopy).success && c.reserve(kNok, kOneCopy).success &&
                    c.returnLoan(kSomchai, kOneCopy).success &&
                    c.claimReservation(kNok, kOneCopy).success;
         }},
        {"read now", [](auto& c) { return c.readNow(kNok, kOneCopy).success; }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        demo::SampleCatalogue catalogue;
        ASSERT_TRUE(way.lend(catalogue));
        ASSERT_EQ(catalogue.availableCopies(kOneCopy), 0);
        ASSERT_TRUE(catalogue.reservations(kNok).empty());

        const demo::Outcome secondLoan = catalogue.borrow(kNok, kOneCopy);
        EXPECT_EQ(secondLoan.messageTH, "คุณยืมรายการนี้อยู่แล้ว");
        const demo::Outcome reservation = catalogue.reserve(kNok, kOneCopy);
        EXPECT_FALSE(reservation.success);
        EXPECT_EQ(reservation.resultCode, secondLoan.resultCode);
        EXPECT_EQ(reservation.message, secondLoan.message);
        EXPECT_EQ(reservation.messageTH, secondLoan.messageTH);
        EXPECT_TRUE(catalogue.reservations(kNok).empty());
        EXPECT_EQ(catalogue.reserverCount(kOneCopy), 0);
    }
}

}  // namespace
