// Journeys of a member who browses the store without signing in.
#include "JourneySupport.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

// 1. Signed out, the home page shows its rows and every toolbar item shows its screen with
// content in it.
TEST_F(JourneyTest, ToolbarScreensShowTheirContent) {
    launch();
    ASSERT_TRUE(waitFor([&] { return showsText("หนังสือแนะนำ", content()); }))
        << "home shows its rows:\n"
        << shownTexts(content());
    EXPECT_TRUE(showsText("สี่แผ่นดิน", content())) << "the row shows its covers";

    struct Screen {
        const char* image;
        const char* shows;  // a text that only its content shows
    };
    for (const Screen screen :
         {Screen{"ic_book", "Thai Economy in Transition"}, Screen{"ic_mag", "Tech Today"},
          Screen{"ic_newspaper", "ข่าวเช้า"}, Screen{"ic_top", "ข้างหลังภาพ"},
          Screen{"ic_cat", "นวนิยาย"}, Screen{"ic_browse", "Jane Austen"},
          Screen{"ic_myshelf", "คืนหนังสือ"}, Screen{"ic_home", "หนังสือแนะนำ"}}) {
        clickToolbar(screen.image);
        EXPECT_TRUE(waitFor(
            [&] {
                return showsText(screen.shows, content()) ||
                       shownRow(screen.shows, content()).second;
            },
            5000))
            << screen.image << " shows:\n"
            << shownTexts(content());
    }
}

}  // namespace

namespace {

// 2. A search in Thai and one in English show their result lines; a result opens its detail and
// Back returns to the results; a search made while a detail shows runs in the results, and the
// detail stays until Back, which shows that search's results.
TEST_F(JourneyTest, SearchOpensResultsAndSearchesAgainAfterADetail) {
    launch();
    search("สี่แผ่นดิน");
    ASSERT_TRUE(waitFor([&] { return showsText("ค้นหา \"สี่แผ่นดิน\" พบจำนวน", content()); }))
        << shownTexts(content());
    openShown("สี่แผ่นดิน");
    ASSERT_TRUE(waitFor([&] { return showsText("ม.ร.ว.คึกฤทธิ์ ปราโมช", content()); }))
        << "the detail shows:\n"
        << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return showsText("ค้นหา \"สี่แผ่นดิน\" พบจำนวน", content()); }))
        << "Back shows the results again:\n"
        << shownTexts(content());

    search("Prince");
    EXPECT_TRUE(waitFor([&] { return showsText("ค้นหา \"Prince\" พบจำนวน", content()); }))
        << shownTexts(content());
    EXPECT_TRUE(waitFor([&] { return byText<QLabel>("The Little Prince", false, content()); }));

    // A search while a detail shows: it runs in the results, the detail stays until Back, and
    // Back shows the new search's results.
    openShown("The Little Prince");
    ASSERT_TRUE(waitFor([&] { return showsText("Antoine de Saint-Exupéry", content()); }));
    const size_t searchesBefore = searchesFor("Pride");
    search("Pride");
    ASSERT_TRUE(waitFor([&] { return searchesFor("Pride") > searchesBefore && !overlayShows(); }))
        << "the search was sent and ended";
    EXPECT_TRUE(showsText("Antoine de Saint-Exupéry", content())) << "the detail still shows:\n"
                                                                  << shownTexts(content());
    EXPECT_FALSE(showsText("ค้นหา \"Pride\"", content())) << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return showsText("ค้นหา \"Pride\" พบจำนวน", content()); }))
        << "the new search's results show:\n"
        << shownTexts(content());
    EXPECT_TRUE(waitFor([&] { return byText<QLabel>("Pride and Prejudice", false, content()); }));
}

// 3. Every road into a detail or a list and Back out of it again.
TEST_F(JourneyTest, BackLeavesEveryDetailAndList) {
    launch();
    // Books: a cover, its detail, Back.
    clickToolbar("ic_book");
    openShown("Thai Economy in Transition");
    ASSERT_TRUE(waitFor([&] { return showsText("Somsak Wongsa", content()); }))
        << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] {
        return byText<QLabel>("Thai Economy in Transition", false, content());
    })) << "the books page again:\n"
        << shownTexts(content());

    // A magazine found by search: its detail, its back issues, Back, Back.
    search("Tech");
    click(buttonNear(byText<QLabel>("นิตยสาร", false, content())));
    openShown("Tech Today");
    ASSERT_TRUE(waitFor([&] { return showsText("เล่มย้อนหลัง", content()); }))
        << shownTexts(content());
    click(shownButton("ดูทั้งหมด"));
    ASSERT_TRUE(waitFor([&] { return showsText("Tech Today 2024/01", content()); }))
        << "the back issues show:\n"
        << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return showsText("เล่มย้อนหลัง", content()); }))
        << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return showsText("ค้นหา \"Tech\"", content()); }))
        << shownTexts(content());

    // Categories: a category, its list, an item, Back, Back.
    clickToolbar("ic_cat");
    openShown("ประวัติศาสตร์");
    openShown("ประวัติศาสตร์กรุงศรีอยุธยา");
    ASSERT_TRUE(waitFor([&] { return showsText("วินัย พงศ์ศรีเพียร", content()); }))
        << shownTexts(content());
    click(shownButton("กลับ"));
    ASSERT_TRUE(waitFor([&] { return byText<QLabel>("ประวัติศาสตร์กรุงศรีอยุธยา", false, content()); }))
        << "the category's list again:\n"
        << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return byText<QLabel>("นวนิยาย", false, content()); }))
        << "the categories again:\n"
        << shownTexts(content());

    // Browse: an author, an item, Back.
    clickToolbar("ic_browse");
    openShown("Jane Austen");
    openShown("Pride and Prejudice");
    ASSERT_TRUE(waitFor([&] { return showsText("Sample Classics", content()); }))
        << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return byText<QLabel>("Pride and Prejudice", false, content()); }))
        << shownTexts(content());

    // Top charts: an item, Back.
    clickToolbar("ic_top");
    openShown("ข้างหลังภาพ");
    ASSERT_TRUE(waitFor([&] { return showsText("ศรีบูรพา", content()); })) << shownTexts(content());
    click(shownButton("กลับ"));
    EXPECT_TRUE(waitFor([&] { return byText<QLabel>("ข้างหลังภาพ", false, content()); }))
        << shownTexts(content());
    EXPECT_TRUE(alerts_->messages.empty()) << alertsText();
}

}  // namespace
