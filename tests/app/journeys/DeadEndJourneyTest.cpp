// Journeys through the places where a member could be left stuck: a loading overlay over a
// request that failed, the detail after a read-now loan was read, and a sign-in the library
// refuses.
#include <algorithm>

#include "JourneySupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/reader/ReaderViewController.h"
#include "app/reader/ReaderWindowController.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kSomchai = "somchai@example.com";

bool holds(const std::string& member, const std::string& code) {
    const auto loans = DemoLibrary::shared().catalogue().loans(member);
    return std::any_of(loans.begin(), loans.end(),
                       [&](const demo::SampleLoan& l) { return l.bookCode == code; });
}

// Whether the reader the program shows has every page of its issue.
bool readerHasWholeIssue() {
    const auto window = std::dynamic_pointer_cast<ReaderWindowController>(
        GlobalService::globalShared()->readerViewController());
    const auto reader = window ? window->readerViewController() : nullptr;
    return reader && reader->uiContext() && reader->uiContext()->allPresentationPagesAvailable();
}

// A cover clicked while the service is away: the overlay over the page goes once the request
// it waits for has failed, and the next click, with the service back, opens the detail.
TEST_F(JourneyTest, AnOverlayGoesWithTheRequestItWaitedFor) {
    launch();
    clickToolbar("ic_book");
    ASSERT_TRUE(waitFor([&] { return showsText("The Little Prince", content()); }))
        << shownTexts(content());
    ASSERT_TRUE(waitFor([&] { return !overlayShows(); }));

    demo().stop();
    openShown("The Little Prince");
    EXPECT_TRUE(overlayShows()) << "the click shows the overlay while the detail loads";
    EXPECT_TRUE(waitFor([&] { return !overlayShows(); }))
        << "the overlay stays over a load that failed";
    EXPECT_FALSE(showsText("ยืม", content())) << "no detail shows for it";
    EXPECT_EQ(alertsText(), "") << "no message where none is given";

    ASSERT_TRUE(demo().start());
    openShown("The Little Prince");
    EXPECT_TRUE(detailAction("ยืม")) << "the next click asks again and the detail shows";
    EXPECT_TRUE(waitFor([&] { return !overlayShows(); }));
}

// A sign-in the library refuses: the member is told the library's own message, and nobody is
// signed in.
TEST_F(JourneyTest, ARefusedSignInSaysWhy) {
    launch();
    openAccountSheet();
    auto sent = std::make_shared<bool>(false);
    driveSignOnWindow([sent](ui::WebView* web, int) {
        if (*sent)
            return false;
        web->evaluateJavaScript(
            "(function () {"
            "  const form = document.getElementById('signin');"
            "  if (window.journeySent) return 'sent';"
            "  if (!form) return 'waiting';"
            "  window.journeySent = true;"
            "  document.getElementById('username').value = 'suspended@example.com';"
            "  document.getElementById('password').value = 'suspended-2567';"
            "  form.submit();"
            "  return 'sent';"
            "})()",
            [sent](const std::string& result) { *sent = result == "sent"; });
        return true;
    });
    click(byText<QAbstractButton>(QStringLiteral("ลงบัญชีเข้าใช้")));
    // The demo's suspended member: the library's answer carries its message.
    ASSERT_TRUE(waitFor([&] { return !alerts_->messages.empty(); }, 30000))
        << "the refusal is told";
    EXPECT_TRUE(alerts_->said("suspended")) << alertsText();
    EXPECT_FALSE(alerts_->said("Connection error")) << alertsText();
    EXPECT_TRUE(signedInMember().empty());
}

// Read now, and the reader closed once the book has arrived (the library keeps it then): the
// detail shows the book as the library lends it once the loan is given back, not "ยืมแล้ว".
TEST_F(JourneyTest, ClosingTheReaderAfterReadNowShowsTheLoanGivenBack) {
    demo::SampleItem book = *demo().catalogue().findItem("BK0006");
    book.pageCount = 8;  // so that it arrives whole quickly
    ASSERT_TRUE(demo().catalogue().withdrawItem("BK0006"));
    ASSERT_TRUE(demo().catalogue().addItem(book));
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    clickToolbar("ic_book");
    openShown("Pride and Prejudice");
    click(detailAction("หยิบอ่าน"));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    ASSERT_TRUE(holds(kSomchai, "BK0006"));
    ASSERT_TRUE(waitFor(readerHasWholeIssue, 60000)) << "the book arrives";
    closeReader();
    EXPECT_TRUE(waitFor([&] { return !holds(kSomchai, "BK0006"); })) << "the loan goes back";
    EXPECT_TRUE(waitFor([&] {
        return !overlayShows() && !byText<QLabel>("ยืมแล้ว", false, content()) &&
               byText<QLabel>("ยืม", false, content());
    })) << "the detail offers the book again:\n"
        << shownTexts(content());
}

}  // namespace

