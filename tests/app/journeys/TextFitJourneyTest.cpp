// The journey through every screen a member reaches, checking on each that its texts are whole:
// they fit their widgets (marks above and below the line included) or end in an ellipsis, and
// none lies over another. Grabs of the screens go to $VARNEL_TEXTFIT_GRABS when it names a folder.
#include <QComboBox>
#include <QDir>
#include <QTreeWidget>

#include "JourneySupport.h"
#include "TextFit.h"
#include "platform_ui/pdf/PdfView.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kSomchai = "somchai@example.com";

// Clicks, in the shown list of the content area, the row of that text, or the first row that is
// not a one-letter heading.
void clickListRow(QWidget* root, const QString& text) {
    for (QTreeWidget* tree : widgets<QTreeWidget>({}, true, root)) {
        for (QTreeWidgetItem* row : rowsOf(tree)) {
            const bool wanted =
                text.isEmpty() ? (row->flags() & Qt::ItemIsSelectable) && row->text(0).size() > 1
                               : row->text(0) == text;
            if (wanted) {
                clickRow(tree, row);
                return;
            }
        }
    }
    ADD_FAILURE() << "no row " << text.toStdString() << " shows:\n" << shownTexts(root);
}

class TextFitJourney {
  public:
    // Lets the screen settle (its lists and covers arrive), then checks every shown window.
    void check(const QString& screen, int settle = 1200) {
        journey::spin(settle);
        int window = 0;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible())
                continue;
            const QString name =
                window++ ? QStringLiteral("%1 (window %2)").arg(screen).arg(window) : screen;
            const auto found = journeys::checkTextFit(top, name);
            problems.insert(problems.end(), found.begin(), found.end());
            if (!grabs.isEmpty())
                top->grab().save(QDir(grabs).filePath(name + QStringLiteral(".png")));
        }
        ++screens;
    }

    QString grabs = qEnvironmentVariable("VARNEL_TEXTFIT_GRABS");
    std::vector<journeys::TextFitProblem> problems;
    int screens = 0;
};

// 13. Every screen of the journeys shows its whole texts.
TEST_F(JourneyTest, TextFitsOnEveryScreen) {
    // A copy of one book is out, so that a reservation waits in the queue.
    ASSERT_TRUE(demo().catalogue().borrow(kSomchai, "BK0004").success);
    TextFitJourney journey;
    launch();
    journey.check("home");
    const std::pair<const char*, const char*> toolbar[] = {
        {"ic_myshelf", "shelf"},  {"ic_home", "home"},      {"ic_book", "books"},
        {"ic_mag", "magazines"},  {"ic_top", "top charts"}, {"ic_newspaper", "newspapers"},
        {"ic_cat", "categories"}, {"ic_browse", "browse"}};
    for (const auto& [image, name] : toolbar) {
        clickToolbar(image);
        journey.check(name);
    }

    // A category's list.
    clickToolbar("ic_cat");
    openShown("นวนิยาย");
    journey.check("category list");
    click(shownButton("‹"));

    // Browse: an author's books, then the magazines and a magazine's issues.
    clickToolbar("ic_browse");
    ASSERT_TRUE(waitFor([&] { return shownRow("ศรีบูรพา", content()).second != nullptr; }))
        << shownTexts(content());
    clickListRow(content(), "ศรีบูรพา");
    journey.check("browse author");
    click(buttonNear(byText<QLabel>("นิตยสาร", false, content())));
    journey.check("browse magazines");
    journey::spin(1000);
    clickListRow(content(), {});
    journey.check("browse magazine");

    // Search results and an item's detail.
    search(QStringLiteral("สี่"));
    journey.check("search results");
    clickToolbar("ic_book");
    openShown("The Little Prince");
    journey.check("detail");
    click(shownButton("กลับ"));

    // A member reserves an item with no copy left: the detail then offers the cancel group.
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    search(QStringLiteral("Thai Economy"));
    openShown("Thai Economy in Transition");
    click(detailAction("จอง"));
    ASSERT_TRUE(waitFor([&] { return detailAction("ยกเลิกการจอง") != nullptr; })) << alertsText();
    journey.check("detail reserved");
    click(shownButton("กลับ"));

    // The account sheet and its member screens; the sheet opens anew for each of them.
    openAccountSheet();
    ASSERT_TRUE(window()->settingWindow());
    journey.check("account sheet");
    const std::pair<const char*, const char*> memberScreens[] = {
        {"ข้อมูลสมาชิก", "member information"},
        {"ประวัติการยืม", "history"},
        {"คิวการจองหนังสือ", "reservations"}};
    for (const auto& [button, name] : memberScreens) {
        openAccountSheet();
        QWidget* sheet = window()->settingWindow();
        ASSERT_TRUE(sheet);
        click(byText<QAbstractButton>(QString::fromUtf8(button), false, sheet));
        journey.check(name, 2000);
    }
    EXPECT_TRUE(showsText("Thai Economy in Transition", window()->settingWindow()))
        << shownTexts(window()->settingWindow());
    // A member screen hides the sheet's menu and its close button: the sheet opens afresh to close.
    openAccountSheet();
    click(byText<QAbstractButton>("ปิด", false, window()->settingWindow()));
    ASSERT_TRUE(waitFor([&] { return window()->settingWindow() == nullptr; }));

    // The shelf with the member's loan, then the reader with its thumbnails and bookmarks.
    showShelf();
    ASSERT_TRUE(waitFor([&] { return shelfShows("ประวัติศาสตร์กรุงศรีอยุธยา"); }))
        << shownTexts(content());
    journey.check("shelf with a loan");
    openShown("ประวัติศาสตร์กรุงศรีอยุธยา");
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    QWidget* reader = readerWindow();
    journey.check("reader", 2000);
    // Zoomed in, then the thumbnail column opens: the page is fitted to the room left, and again
    // when the column closes.
    auto* page = first<ui::PdfView>({}, reader);
    ASSERT_TRUE(page);
    click(byText<QAbstractButton>("+", false, reader));
    EXPECT_FALSE(page->autoScales());
    click(byText<QAbstractButton>("Thumbnails", false, reader));
    EXPECT_TRUE(page->autoScales()) << "the page is fitted beside the thumbnails";
    journey.check("reader with thumbnails");
    click(byText<QAbstractButton>("+", false, reader));
    click(byText<QAbstractButton>("Thumbnails", false, reader));
    EXPECT_TRUE(page->autoScales()) << "the page is fitted to the whole width again";
    click(byText<QAbstractButton>("Add Bookmark", false, reader));
    click(byText<QAbstractButton>("Bookmarks", false, reader));
    journey.check("bookmarks");
    closeReader();

    EXPECT_EQ(journey.screens, 24);
    EXPECT_TRUE(journey.problems.empty()) << journey.problems.size() << " places:\n"
                                          << journeys::describe(journey.problems).toStdString();
}

}  // namespace
