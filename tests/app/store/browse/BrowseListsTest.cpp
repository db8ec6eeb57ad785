// The browse lists over the demo library: the index of a browse group, a name's items page by
// page, magazine titles, and hostile names and groups.
#include <QLabel>
#include <QScrollBar>
#include <QTreeWidget>
#include <filesystem>

#include "ContainerDoubles.h"
#include "OffscreenApplication.h"
#include "app/store/StoreResources.h"
#include "app/store/browse/BrowseListView.h"
#include "app/store/browse/BrowseSubView.h"
#include "app/store/detail/StoreTestSupport.h"
#include "platform_ui/CollectionView.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::DynamicObject;

namespace {

class BrowseScreenTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        registerStoreResources(ui::ResourceRegistry::shared());
        owner = DynamicObject::make();
        owner->on("browseSubViewStartLoading")
            .on("browseSubViewLoadComplete")
            .on("browseSubView:selectShopGroupInfo:withHeaderGroupInfo:");
    }
    void TearDown() override {
        sub.reset();
        testing_support::runDeferredDeletions();
        StoreTest::TearDown();
    }
    // A browse list of that group, on screen, with its names in.
    void browse(const std::string& code, bool magazine = false) {
        sub = ui::ResourceRegistry::shared().instantiate<BrowseSubView>("", "BrowseSubView");
        ASSERT_TRUE(sub);
        sub->setDelegate(owner);
        sub->setIsMagazine(magazine);
        sub->view()->resize(900, 600);
        sub->view()->show();
        const size_t done = owner->count("browseSubViewLoadComplete");
        sub->browseBookWidget(code, true);
        ASSERT_TRUE(waitFor([&] { return owner->count("browseSubViewLoadComplete") > done; }));
    }
    size_t asked(const char* method) { return store.requestsForMethod(method).size(); }
    demo::Json lastBody(const char* method) {
        return demo::Json::parse(store.requestsForMethod(method).back().body);
    }
    // Selects the name's row; false when the index has none.
    bool select(const std::string& title) {
        const auto rows = sub->browseListOutlineView->findItems(
            QString::fromStdString(title), Qt::MatchExactly | Qt::MatchRecursive);
        if (rows.isEmpty())
            return false;
        sub->browseListOutlineView->setCurrentItem(rows.front());
        return true;
    }
    // Selects a name and waits for its first page.
    bool open(const std::string& title) {
        const size_t done = owner->count("browseSubViewLoadComplete");
        return select(title) &&
               waitFor([&] { return owner->count("browseSubViewLoadComplete") > done; });
    }
    std::vector<std::string> shownTitles() {
        std::vector<std::string> out;
        for (const auto& item : sub->browseListView()->shopGroupArray())
            out.push_back(item->Title_.value_or(""));
        return out;
    }
    // Scrolls the list to its bottom (each scroll there asks for the next page).
    void scrollToBottom() {
        auto* grid = sub->browseListView()->collectionView.data();
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
        sub->browseListView()->scrollViewDidScroll();
    }

    Ref<DynamicObject> owner;
    Ref<BrowseSubView> sub;
};

TEST_F(BrowseScreenTest, IndexOfPublishersAndABigListInPagesOf48) {
    browse("0.browse.publisher_book");
    EXPECT_EQ(owner->count("browseSubViewStartLoading"), 1u);
    EXPECT_EQ(lastBody("GetWidgetInfo")["id"], "0.browse.publisher_book");
    // "#" first, the Thai letters, then A to Z, the accented capitals last; no empty title.
    const auto& keys = sub->groupBrowseKeyArray();
    ASSERT_GE(keys.size(), 5u);
    EXPECT_EQ(keys.front(), "#");
    EXPECT_EQ(keys[1], "ส");
    EXPECT_EQ(keys.back(), "É");
    EXPECT_NE(std::find(keys.begin(), keys.end(), "L"), keys.end());
    auto* tree = sub->browseListOutlineView.data();
    EXPECT_EQ(tree->topLevelItemCount(), static_cast<int>(keys.size()));
    EXPECT_EQ(tree->findItems("", Qt::MatchExactly | Qt::MatchRecursive).size(), 0);
    // A Thai name behind its vowel sits with the consonant's other names, in the group's order.
    QTreeWidgetItem* thai = tree->topLevelItem(1);
    ASSERT_GE(thai->childCount(), 2);
    EXPECT_EQ(thai->child(thai->childCount() - 1)->text(0), "เสน่ห์ ตัวอย่าง");

    // A letter cannot be selected and asks for nothing.
    const size_t before = asked("GetWidgetInfo");
    tree->setCurrentItem(tree->topLevelItem(0));
    EXPECT_TRUE(tree->selectedItems().isEmpty());
    settle(0.1);
    EXPECT_EQ(asked("GetWidgetInfo"), before);

    // A name's first page: in the order that paging extends, though delivered the other way.
    ASSERT_TRUE(open("Big Shelf Press"));
    EXPECT_EQ(lastBody("GetWidgetInfo")["id"], "publisher-big_all");
    EXPECT_EQ(sub->browseListView()->titleTextField->text(), "Big Shelf Press");
    auto titles = shownTitles();
    ASSERT_EQ(titles.size(), 48u);
    EXPECT_EQ(titles.front(), "Big Shelf 1");
    EXPECT_EQ(titles.back(), "Big Shelf 48");
    EXPECT_EQ(owner->count("browseSubViewStartLoading"), 2u);

    // Two bottom reaches while a page loads ask once, from 48; the page extends the list.
    scrollToBottom();
    scrollToBottom();
    ASSERT_TRUE(waitFor([this] { return sub->groupBookItems().size() == 96; }));
    ASSERT_EQ(asked("GetSubWidgetInfo"), 1u);
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["id"], "publisher-big_all");
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["start"], 48);
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["length"], 48);
    titles = shownTitles();
    EXPECT_EQ(titles[48], "Big Shelf 49");
    EXPECT_EQ(titles.back(), "Big Shelf 96");
    EXPECT_EQ(owner->count("browseSubViewStartLoading"), 2u);  // paging shows no overlay
    scrollToBottom();
    ASSERT_TRUE(waitFor([this] { return sub->groupBookItems().size() == 120; }));
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["start"], 96);
    // The end: an empty page changes nothing, and the next reach asks again.
    scrollToBottom();
    ASSERT_TRUE(
        waitFor([this] { return asked("GetSubWidgetInfo") == 3 && !sub->isBookUpdateItem(); }));
    EXPECT_EQ(sub->groupBookItems().size(), 120u);
    scrollToBottom();
    EXPECT_TRUE(waitFor([this] { return asked("GetSubWidgetInfo") == 4; }));

    // A click on an item goes up with the name as header.
    plat::send(sub->browseListView(), "bookCoverCollectionCellSelect:", Ref<plat::Object>());
    ASSERT_EQ(owner->count("browseSubView:selectShopGroupInfo:withHeaderGroupInfo:"), 1u);
    EXPECT_EQ(testing_support::sentArgument<Ref<VnShopGroupInfo>>(
                  *owner, "browseSubView:selectShopGroupInfo:withHeaderGroupInfo:", 0, 2)
                  ->Title_,
              "Big Shelf Press");
}

TEST_F(BrowseScreenTest, MagazineTitlesAskTheirCodeAndPagingWaitsForTheNewNamesFirstPage) {
    browse("0.browse.magazine", true);
    ASSERT_TRUE(open("สุขภาพดี"));
    EXPECT_EQ(lastBody("GetWidgetInfo")["id"], "MG01");
    EXPECT_EQ(shownTitles().size(), 3u);

    // The next name's first page fails: the list stays, and paging waits for that name.
    demo::Fault failure;
    failure.calls = 1;
    store.setFault("GetWidgetInfo", failure);
    ASSERT_TRUE(open("Tech Today"));
    EXPECT_EQ(lastBody("GetWidgetInfo")["id"], "MG02");
    EXPECT_EQ(sub->currentBookGroupCode(), "MG02");
    EXPECT_EQ(shownTitles().size(), 3u);
    EXPECT_EQ(sub->browseListView()->titleTextField->text(), "สุขภาพดี");
    scrollToBottom();
    settle(0.2);
    EXPECT_EQ(asked("GetSubWidgetInfo"), 0u);

    // Once a first page of the selected name is in, paging asks for it.
    ASSERT_TRUE(open("สุขภาพดี"));
    scrollToBottom();
    ASSERT_TRUE(waitFor([this] { return asked("GetSubWidgetInfo") == 1; }));
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["id"], "MG01");
    EXPECT_EQ(lastBody("GetSubWidgetInfo")["start"], 3);
}

TEST_F(BrowseScreenTest, HostileNamesAndGroupsGiveEmptyListsAndTablesStayInTheCache) {
    browse("0.browse.author");
    // A number as a title reads as its text, filed under the number sign.
    const auto& keys = sub->groupBrowseKeyArray();
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.front(), "#");
    const auto numbered =
        sub->browseListOutlineView->findItems("2024", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(numbered.size(), 1);
    EXPECT_EQ(numbered.front()->parent()->text(0), "#");

    // A code with "/" that the service does not know: nothing, the list not even made.
    ASSERT_TRUE(open("Slash Author"));
    EXPECT_EQ(lastBody("GetWidgetInfo")["id"], "a/b_all");
    EXPECT_FALSE(sub->browseListView());
    // A list whose entries are no list: the name's header over an empty list.
    ASSERT_TRUE(open("Broken Shelf"));
    ASSERT_TRUE(sub->browseListView());
    EXPECT_TRUE(shownTitles().empty());
    EXPECT_EQ(sub->browseListView()->titleTextField->text(), "Broken Shelf");
    scrollToBottom();
    ASSERT_TRUE(
        waitFor([this] { return asked("GetSubWidgetInfo") == 1 && !sub->isBookUpdateItem(); }));
    EXPECT_TRUE(shownTitles().empty());

    // The "../x" name's list and its table: beside the other store tables, in the cache tree.
    ASSERT_TRUE(open("Dot Dot Author"));
    EXPECT_EQ(lastBody("GetWidgetInfo")["id"], "../x_all");
    EXPECT_EQ(shownTitles().size(), 3u);
    const auto archive = context->localStorage()->storeLocalArchive()->archivePath();
    namespace fs = std::filesystem;
    const auto tableOf = [&](const std::string& part) -> fs::path {
        for (const auto& entry : fs::recursive_directory_iterator(getenv("VARNEL_HOME")))
            if (entry.path().filename().string().find(part) != std::string::npos)
                return entry.path();
        return {};
    };
    ASSERT_TRUE(waitFor([&] { return !tableOf("x_all").empty(); }));
    EXPECT_EQ(tableOf("x_all").parent_path(), archive);
    EXPECT_EQ(tableOf("0.browse.author").parent_path(), archive);
    EXPECT_FALSE(fs::exists(archive.parent_path() / "x_all.table.json"));

    // Browse groups whose names are no list, or that the service does not know: an empty
    // index after each, and no failure.
    for (const char* code : {"0.browse.broken", "no/such/group"}) {
        SCOPED_TRACE(code);
        browse(code);
        EXPECT_TRUE(sub->groupBrowseKeyArray().empty());
        EXPECT_EQ(sub->browseListOutlineView->topLevelItemCount(), 0);
    }
}

}  // namespace
