// The journey through every screen a member reaches, checking on each that its texts are whole:
// they fit their widgets (marks above and below the line included) or end in an ellipsis, and
// none lies over another. Grabs of the screens go to $VARNEL_TEXTFIT_GRABS when it names a folder.
#include <QComboBox>
#include <QDir>
#include <QTreeWidget>
#include <functional>
#include <tuple>

#include "JourneySupport.h"
#include "TextFit.h"
#include "platform_ui/pdf/PdfView.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

constexpr const char* kNok = "nok@example.com";
constexpr const char* kSomchai = "somchai@example.com";

// Clicks, in the shown list of the content area, the row of that text.
void clickListRow(QWidget* root, const QString& text) {
    const auto [tree, row] = shownRow(text, root);
    if (tree && row) {
        clickRow(tree, row);
        return;
    }
    ADD_FAILURE() << "no row " << text.toStdString() << " shows:\n" << shownTexts(root);
}

class TextFitJourney {
  public:
    // Judges the screen once it has loaded (what it shows is there): every shown window's texts.
    // A screen that does not load within the wait is a failure, and is not counted.
    void check(const QString& screen, const std::function<bool()>& loaded) {
        if (!journey::waitFor(loaded, 20000)) {
            ADD_FAILURE() << screen.toStdString() << " did not show its content:\n"
                          << journey::shownTexts();
            return;
        }
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
    const auto shows = [&](const char* text) {
        return [this, text] {
            return showsText(QString::fromUtf8(text), content()) ||
                   shownRow(QString::fromUtf8(text), content()).second;
        };
    };
    journey.check("home", shows("หนังสือแนะนำ"));
    const std::tuple<const char*, const char*, const char*> toolbar[] = {
        {"ic_myshelf", "shelf", "คืนหนังสือ"},
        {"ic_home", "home", "หนังสือแนะนำ"},
        {"ic_book", "books", "Thai Economy in Transition"},
        {"ic_mag", "magazines", "Tech Today"},
        {"ic_top", "top charts", "ข้างหลังภาพ"},
        {"ic_newspaper", "newspapers", "ข่าวเช้า"},
        {"ic_cat", "categories", "นวนิยาย"},
        {"ic_browse", "browse", "Jane Austen"}};
    for (const auto& [image, name, content] : toolbar) {
        clickToolbar(image);
        journey.check(name, shows(content));
    }

    // A category's list.
    clickToolbar("ic_cat");
    openShown("นวนิยาย");
    journey.check("category list", shows("Translated Fiction"));
    click(shownButton("‹"));

    // Browse: an author's books, then the magazines and a magazine's issues.
    clickToolbar("ic_browse");
    ASSERT_TRUE(waitFor([&] { return shownRow("ศรีบูรพา", content()).second != nullptr; }))
        << shownTexts(content());
    clickListRow(content(), "ศรีบูรพา");
    journey.check("browse author", shows("ข้างหลังภาพ"));
    click(buttonNear(byText<QLabel>("นิตยสาร", false, content())));
    journey.check("browse magazines", shows("Tech Today"));
    clickListRow(content(), "Tech Today");
    journey.check("browse magazine", shows("Tech Today 2024/0"));

    // Search results and an item's detail.
    search(QStringLiteral("สี่"));
    journey.check("search results", shows("ค้นหา \"สี่\" พบจำนวน"));
    clickToolbar("ic_book");
    openShown("The Little Prince");
    journey.check("detail", shows("Antoine de Saint-Exupéry"));
    click(shownButton("กลับ"));

    // A member reserves an item with no copy left: the detail then offers the cancel group.
    ASSERT_NO_FATAL_FAILURE(signIn(kNok));
    search(QStringLiteral("Thai Economy"));
    openShown("Thai Economy in Transition");
    click(detailAction("จอง"));
    journey.check("detail reserved", [&] { return detailAction("ยกเลิกการจอง") != nullptr; });
    click(shownButton("กลับ"));

    // The account sheet and its member screens; the sheet opens anew for each of them.
    openAccountSheet();
    ASSERT_TRUE(window()->settingWindow());
    journey.check("account sheet", [&] { return showsText(kNok, window()->settingWindow()); });
    const std::tuple<const char*, const char*, std::function<bool()>> memberScreens[] = {
        {"ข้อมูลสมาชิก", "member information",
         [&] { return showsText("Srisuk", window()->settingWindow()); }},
        {"ประวัติการยืม", "history", [&] { return showsText("คืนวันที่", window()->settingWindow()); }},
        {"คิวการจองหนังสือ", "reservations",
         [&] { return showsText("Thai Economy in Transition", window()->settingWindow()); }}};
    for (const auto& [button, name, loaded] : memberScreens) {
        openAccountSheet();
        QWidget* sheet = window()->settingWindow();
        ASSERT_TRUE(sheet);
        click(byText<QAbstractButton>(QString::fromUtf8(button), false, sheet));
        journey.check(name, loaded);
    }
    // A member screen hides the sheet's menu and its close button: the sheet opens afresh to close.
    openAccountSheet();
    click(byText<QAbstractButton>("ปิด", false, window()->settingWindow()));
    ASSERT_TRUE(waitFor([&] { return window()->settingWindow() == nullptr; }));

    // The shelf with the member's loan, then the reader with its thumbnails and bookmarks.
    showShelf();
    journey.check("shelf with a loan", shows("ประวัติศาสตร์กรุงศรีอยุธยา"));
    openShown("ประวัติศาสตร์กรุงศรีอยุธยา");
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    QWidget* reader = readerWindow();
    auto* page = first<ui::PdfView>({}, reader);
    ASSERT_TRUE(page);
    // The page itself, painted: not the stand-in shown until its own file arrives.
    const auto pageShows = [&] {
        const auto shown = page->currentPage();
        return shown && !shown->isImagePage() && page->hasPainted(shown);
    };
    journey.check("reader", pageShows);
    // Zoomed in, then the thumbnail column opens and closes: the page keeps its zoom.
    click(byText<QAbstractButton>("+", false, reader));
    EXPECT_FALSE(page->autoScales());
    const double zoomed = page->scaleFactor();
    click(byText<QAbstractButton>("Thumbnails", false, reader));
    EXPECT_FALSE(page->autoScales()) << "the page keeps the member's zoom beside the thumbnails";
    EXPECT_DOUBLE_EQ(page->scaleFactor(), zoomed);
    journey.check("reader with thumbnails", pageShows);
    click(byText<QAbstractButton>("Thumbnails", false, reader));
    EXPECT_DOUBLE_EQ(page->scaleFactor(), zoomed) << "and when they close";
    click(byText<QAbstractButton>("Add Bookmark", false, reader));
    click(byText<QAbstractButton>("Bookmarks", false, reader));
    // The bookmark list names the book in its row (nothing else shown names it in a label).
    journey.check("bookmarks", [&] { return showsText("ประวัติศาสตร์กรุงศรีอยุธยา"); });
    closeReader();

    EXPECT_EQ(journey.screens, 24);
    EXPECT_TRUE(journey.problems.empty()) << journey.problems.size() << " places:\n"
                                          << journeys::describe(journey.problems).toStdString();
}

}  // namespace
