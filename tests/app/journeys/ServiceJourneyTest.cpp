// Journeys through a service that goes away, a sign-on window closed by its title bar, and an
// item the reader cannot open.
#include <algorithm>

#include "JourneySupport.h"
#include "platform_ui/Application.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kSomchai = "somchai@example.com";

// 10. The service stops while the member browses: the screen the member acts on says so. Once
// it is back on the same ports, top charts, browse, search and the member's own actions work
// again without a restart, and the member is not asked to sign in again.
TEST_F(JourneyTest, ServiceGoneAndBackAgain) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_TRUE(waitFor([&] { return showsText("หนังสือแนะนำ", content()); }));

    demo().stop();
    alerts_->messages.clear();
    clickToolbar("ic_top");
    EXPECT_TRUE(waitFor([&] { return showsText("Connection error", content()); }, 40000))
        << "top charts say the service is out of reach:\n"
        << shownTexts(content());
    alerts_->messages.clear();
    clickToolbar("ic_browse");
    EXPECT_TRUE(waitFor([&] { return showsText("Connection error", content()); }, 40000))
        << "browse says so too:\n"
        << shownTexts(content());

    ASSERT_TRUE(demo().start());
    alerts_->messages.clear();
    clickToolbar("ic_top");
    EXPECT_TRUE(waitFor([&] { return byText<QLabel>("ข้างหลังภาพ", false, content()); }, 30000))
        << "top charts ask again:\n"
        << shownTexts(content());
    clickToolbar("ic_browse");
    EXPECT_TRUE(waitFor([&] { return shownRow("Jane Austen", content()).second; }, 30000))
        << "browse asks again:\n"
        << shownTexts(content());
    search("Prince");
    EXPECT_TRUE(waitFor([&] { return showsText("ค้นหา \"Prince\" พบจำนวน", content()); }, 30000))
        << shownTexts(content());

    // A member's action on the restarted service: borrowing works, no "sign in first".
    clickToolbar("ic_book");
    openShown("Pride and Prejudice");
    click(detailAction("ยืม"));
    EXPECT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000))
        << "the loan went through; alerts: " << alertsText();
    EXPECT_EQ(signedInMember(), kSomchai);
    const auto loans = demo().catalogue().loans(kSomchai);
    EXPECT_TRUE(std::any_of(loans.begin(), loans.end(), [](const demo::SampleLoan& l) {
        return l.bookCode == "BK0006";
    })) << alertsText();
    closeReader();
}

// 11. The sign-on window closed from its title bar: the program goes on, delayed work runs.
TEST_F(JourneyTest, SignOnWindowClosedFromItsTitleBar) {
    launch();
    openAccountSheet();
    bool closed = false;
    // Shared with a timer that may fire after the journey.
    const auto returned = std::make_shared<bool>(false);
    const auto stoppedForIt = std::make_shared<bool>(false);
    driveSignOnWindow([&](ui::WebView* web, int) {
        web->window()->close();  // what the title bar's close button does
        closed = true;
        // Should the sign-on's loop outlive its window, the journey fails instead of waiting
        // for ever: the loop is ended for it.
        QTimer::singleShot(5000, [returned, stoppedForIt] {
            if (*returned)
                return;
            *stoppedForIt = true;
            ui::Application::shared().stopModal();
        });
        return false;
    });
    click(byText<QAbstractButton>(QStringLiteral("ลงบัญชีเข้าใช้")));
    *returned = true;
    EXPECT_TRUE(closed) << "the sign-on window opened";
    EXPECT_FALSE(*stoppedForIt)
        << "the sign-in click came back only once its loop was ended for it";
    const auto said = alertsText();
    // The program goes on: a screen still shows its content.
    clickToolbar("ic_browse");
    EXPECT_TRUE(waitFor([&] { return shownRow("Jane Austen", content()).second; }))
        << shownTexts(content()) << "main window shows: " << showing(mainWindow()) << "\n"
        << shownTexts();
    EXPECT_TRUE(signedInMember().empty());
    EXPECT_EQ(said, "") << "closing is not a failure to tell";
}

// 12. An item the reader cannot open says so.
TEST_F(JourneyTest, AnItemTheReaderCannotOpenSaysSo) {
    auto& catalogue = demo().catalogue();
    if (!catalogue.hasItem(kSomchai, demo::kEpubOnlyBook)) {
        ASSERT_TRUE(catalogue.borrow(kSomchai, demo::kEpubOnlyBook).success);
    }
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("Flowing Text"); })) << shownTexts(content());
    alerts_->messages.clear();
    click(journey::buttonNear(byText<QLabel>("Flowing Text", false, content())));
    EXPECT_TRUE(waitFor([&] { return !alerts_->messages.empty(); }, 30000))
        << "the member is told the item cannot be read here:\n"
        << shownTexts(content());
    EXPECT_EQ(readerWindow(), nullptr);
    EXPECT_FALSE(overlayShows());
}

}  // namespace
