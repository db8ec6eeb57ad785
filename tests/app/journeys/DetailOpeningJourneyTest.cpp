// Journeys of a book opened from its detail whose opening fails once: the service takes the
// action (a borrow, a sample, a read now) but refuses, once, a step of the download that opens
// the reader. The member is told once, no reader shows, and the detail is usable again at once,
// with no loading over it; the next try opens the book.
#include "JourneySupport.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";

// A lent book, made short.
constexpr const char* kBook = "BK0004";
const QString kBookTitle = QStringLiteral("Thai Economy in Transition");
const QString kBookAuthor = QStringLiteral("Somsak Wongsa");
constexpr int kPages = 8;

// How long the reader may take to open on the next try (its pages download and are checked).
constexpr int kBound = 30000;

// The action in the detail, and what the service refuses once after it.
struct Refusal {
    const char* name;
    const char* action;   // the caption of the detail's button
    std::string refused;  // a web method's name, or a content path
};

std::ostream& operator<<(std::ostream& out, const Refusal& refusal) {
    return out << refusal.name;
}

const std::string kFirstPage = "/content/" + std::string(kBook) + "/PAGE_0.pdf";

class DetailOpeningJourney : public JourneyTest, public ::testing::WithParamInterface<Refusal> {
  protected:
    void SetUp() override {
        JourneyTest::SetUp();
        ASSERT_TRUE(demo().shorten(kBook, kPages));
    }

    // The service answers the next request of the refused name with a 500, and those after it
    // as it should.
    static void refuseOnce(const std::string& name) {
        demo::Fault fault;  // a server error
        fault.calls = 1;
        demo().service->setFault(name, fault);
    }
};

TEST_P(DetailOpeningJourney, AFailedOpeningEndsTheDetailsLoadingAndTheNextTryOpensTheBook) {
    const Refusal& refusal = GetParam();
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    clickToolbar("ic_book");
    ASSERT_NO_FATAL_FAILURE(openShown(kBookTitle));
    QAbstractButton* action = detailAction(QString::fromUtf8(refusal.action));
    ASSERT_TRUE(action);
    refuseOnce(refusal.refused);
    click(action);

    ASSERT_TRUE(
        waitFor([&] { return alerts_->said(kConnectionErrorText); }, testing_support::memberWait()))
        << "the member is told at once; alerts: " << alertsText() << "; reader: " << readerCode()
        << "; the loading shows: " << overlayShows();
    EXPECT_TRUE(waitFor(
        [&] {
            return showing(mainWindow()) && showsText(kBookAuthor, content()) && !overlayShows();
        },
        testing_support::memberWait()))
        << "the detail shows without its loading once the member is told:\n"
        << shownTexts(content());
    EXPECT_EQ(readerWindow(), nullptr);
    EXPECT_EQ(alerts_->messages.size(), 1U) << alertsText();

    // The next try: the loan (or the sample) from the shelf, the read-now loan in the detail.
    alerts_->messages.clear();
    if (std::string(refusal.action) == "หยิบอ่าน")
        click(detailAction(QStringLiteral("หยิบอ่าน")));
    else
        ASSERT_NO_FATAL_FAILURE(openFromShelf(kBookTitle));
    ASSERT_TRUE(waitFor([&] { return readerCode() == kBook; }, kBound))
        << "the next try opens the book; alerts: " << alertsText();
    EXPECT_TRUE(readThrough(kBook, kPages, kBound));
    EXPECT_EQ(alertsText(), "");
}

INSTANTIATE_TEST_SUITE_P(
    DetailOpeningJourney, DetailOpeningJourney,
    ::testing::Values(Refusal{"ABorrowWhoseFirstPageIsRefused", "ยืม", kFirstPage},
                      Refusal{"ABorrowWhosePageLocationsAreRefused", "ยืม", "GetAssetFiles"},
                      Refusal{"ABorrowWhosePageListIsRefused", "ยืม", "GetBookPages"},
                      Refusal{"ASampleWhoseFirstPageIsRefused", "ทดลองอ่าน", kFirstPage},
                      Refusal{"AReadNowWhoseFirstPageIsRefused", "หยิบอ่าน", kFirstPage}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
