// Journeys through a service that goes away, a sign-on window closed by its title bar, and an
// item the reader cannot open.
#include <algorithm>

#include "JourneySupport.h"
#include "app/store/browse/BrowseMainView.h"
#include "app/store/browse/BrowseMainViewController.h"
#include "app/store/browse/BrowseSubView.h"
#include "app/store/topchart/TopChartListViewController.h"
#include "app/store/topchart/TopChartMainView.h"
#include "app/store/topchart/TopChartMainViewController.h"
#include "demo-service/DemoLibraryMembers.h"
#include "platform_ui/Application.h"
#include "support/CapturedLog.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kSomchai = "somchai@example.com";

// The top chart's book column and the browse page's author index of the shown program.
Ref<TopChartListViewController> topChartBooks(const Ref<WindowController>& window) {
    const auto page = std::dynamic_pointer_cast<TopChartMainViewController>(
        window->screenController(WindowController::TopChart));
    const auto main =
        page ? std::dynamic_pointer_cast<TopChartMainView>(page->mainChild()) : nullptr;
    return main ? main->topChartBookView() : nullptr;
}
Ref<BrowseSubView> browseAuthors(const Ref<WindowController>& window) {
    const auto page = std::dynamic_pointer_cast<BrowseMainViewController>(
        window->screenController(WindowController::Browse));
    const auto main =
        page ? std::dynamic_pointer_cast<BrowseMainView>(page->browseMainView()) : nullptr;
    return main ? std::dynamic_pointer_cast<BrowseSubView>(main->browseBookSubView()) : nullptr;
}

// 10. The service stops while the member browses: top charts and browse stay empty and say
// nothing. Once it is back on the same ports, they ask again when shown, search works, and the
// member's own actions go on in the member's session without a restart and without signing in
// again.
TEST_F(JourneyTest, ServiceGoneAndBackAgain) {
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    ASSERT_TRUE(waitFor([&] { return showsText("หนังสือแนะนำ", content()); }));
    const size_t signIns = demo().calls("AccountAuthenticationWithAccessToken");

    demo().stop();
    alerts_->messages.clear();
    clickToolbar("ic_top");
    ASSERT_TRUE(waitFor(
        [&] {
            const auto column = topChartBooks(window());
            return column && column->categoryAnswered();
        },
        40000))
        << "the top charts' load ended";
    EXPECT_TRUE(topChartBooks(window())->shopGroupArray().empty());
    EXPECT_FALSE(showsText("ข้างหลังภาพ", content()));
    EXPECT_FALSE(showsText("Connection error", content())) << shownTexts(content());
    clickToolbar("ic_browse");
    ASSERT_TRUE(waitFor(
        [&] {
            const auto authors = browseAuthors(window());
            return authors && authors->namesAnswered();
        },
        40000))
        << "the browse index's load ended";
    EXPECT_FALSE(shownRow("Jane Austen", content()).second);
    EXPECT_FALSE(showsText("Connection error", content())) << shownTexts(content());
    EXPECT_TRUE(alerts_->messages.empty()) << "top charts and browse say nothing: " << alertsText();

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

    // A member's action on the restarted service: borrowing works in the session the member had,
    // which the service kept; nothing is signed in or restored again.
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
    EXPECT_EQ(demo().calls("AccountAuthenticationWithAccessToken"), 0U)
        << "(the restarted service's own count) nothing signed in again; before: " << signIns;
    EXPECT_EQ(demo().calls("RestoreSession"), 0U);
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

// 12. An item the reader cannot open (offered as EPUB only) says so, borrowed from its detail
// and opened from the shelf, and no reader opens. Once the member has answered the alert, the
// detail's loading overlay is gone.
TEST_F(JourneyTest, AnItemTheReaderCannotOpenSaysSo) {
    const std::string unreadable = "รายการนี้เปิดอ่านในโปรแกรมนี้ไม่ได้";
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    search("Flowing Text");
    openShown("Flowing Text");
    alerts_->messages.clear();
    const auto written = testing_support::writtenWithTracesOff([&] {
        click(detailAction("ยืม"));
        EXPECT_TRUE(
            waitFor([&] { return alerts_->said(unreadable) && alerts_->answersHandled(); }, 30000))
            << "the member is told the item cannot be read here; alerts: " << alertsText();
    });
    // Why, for whoever looks into the system log; the terminal stays quiet.
    EXPECT_EQ(written.inSystemLog("cannot open the format"), 1U);
    EXPECT_EQ(written.onTerminal("cannot open the format"), 0U);
    EXPECT_FALSE(overlayShows()) << "the overlay ends with the alert";
    EXPECT_TRUE(showsText("Flowing Text", content())) << shownTexts(content());
    EXPECT_EQ(alerts_->messages.size(), 1U) << alertsText();
    EXPECT_TRUE(demo().catalogue().hasItem(kSomchai, demo::kEpubOnlyBook)) << "it was lent";
    EXPECT_EQ(readerWindow(), nullptr);

    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("Flowing Text"); })) << shownTexts(content());
    alerts_->messages.clear();
    click(journey::buttonNear(byText<QLabel>("Flowing Text", false, content())));
    EXPECT_TRUE(waitFor([&] { return alerts_->said(unreadable); }, 30000))
        << "and again from the shelf; alerts: " << alertsText();
    EXPECT_EQ(alerts_->messages.size(), 1U) << alertsText();
    EXPECT_EQ(readerWindow(), nullptr);
    EXPECT_FALSE(overlayShows());
}

}  // namespace
