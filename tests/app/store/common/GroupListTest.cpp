// The group item list against the demo store, without the screen: the sort options and the
// choice of the default, pages of entries, replies that change nothing, a new group on a kept
// list, hostile replies, and the messages to the container.
#include <algorithm>
#include <filesystem>

#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/ShopCategoryMainViewController.h"
#include "app/store/detail/StoreTestSupport.h"
#include "demo-service/DemoGroupLists.h"
#include "support/CapturedLog.h"
#include "support/DynamicObject.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/domain/storage/VnLocalDataTable.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

using demo::Json;
using testing_support::DynamicObject;
using Menu = ShopCategoryMenuCollectionViewItem;

class GroupListTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        list = ui::ViewController::create<ShopCategoryMainViewController>();
        list->setDelegate(delegate);
    }

    static Ref<VnShopGroupInfo> group(const std::string& id) {
        auto group = std::make_shared<VnShopGroupInfo>();
        group->Id_ = id;
        return group;
    }
    // Waits until the list asks nothing more.
    bool loaded() {
        return waitFor([&] { return !list->isUpdateItem() && !list->isMenuRequestRunning(); });
    }
    // The ids asked of a web method, in order.
    std::vector<std::string> asked(const char* method) const {
        std::vector<std::string> ids;
        for (const auto& call : store.requestsForMethod(method))
            ids.push_back(Json::parse(call.body).value("id", std::string()));
        return ids;
    }
    size_t askedFor(const char* method, const std::string& id) const {
        const auto ids = asked(method);
        return static_cast<size_t>(std::count(ids.begin(), ids.end(), id));
    }
    Json lastBody(const char* method) const {
        return Json::parse(store.requestsForMethod(method).back().body);
    }
    std::vector<std::string> labels() const {
        std::vector<std::string> out;
        for (const auto& option : *list->shopMenuSortArray())
            out.push_back(Menu::labelForTitle(option->Title_.value_or("")));
        return out;
    }
    std::vector<std::string> entryIds() const {
        std::vector<std::string> out;
        for (const auto& entry : *list->shopGroupArray())
            out.push_back(entry->Id_.value_or(""));
        return out;
    }
    // A sort option's item, as the bar makes it.
    Ref<Menu> optionItem(const std::string& title) const {
        for (const auto& option : *list->shopMenuSortArray()) {
            if (option->Title_ == title) {
                auto item = std::make_shared<Menu>();
                item->setRepresentedObject(plat::Value(option));
                return item;
            }
        }
        return nullptr;
    }

    Ref<DynamicObject> delegate = DynamicObject::make();
    Ref<ShopCategoryMainViewController> list;
};

TEST_F(GroupListTest, TheSortBarShowsItsOptionsAndTheDefaultSortWins) {
    auto books = group("0.feature_book.books");
    list->setShopGroupInfo(books);
    EXPECT_FALSE(list->currentCodeSort());
    ASSERT_TRUE(loaded());
    // "Default" and "Price" are not shown; the rest by their Thai labels.
    EXPECT_EQ((std::vector<std::string>{"ยอดนิยม", "วันที่", "ชื่อเรื่อง"}), labels());
    EXPECT_EQ("Default", Menu::labelForTitle("Default"));
    EXPECT_EQ("ราคา", Menu::labelForTitle("Price"));
    // The head's default sort beats the "Default" option, and its first page is shown.
    EXPECT_EQ("0.feature_book.books.Date", list->currentCodeSort());
    // (Its page and its own options are asked at once: either may reach the store first.)
    EXPECT_EQ(1u, askedFor("GetWidgetInfo", "0.feature_book.books.Date"));
    EXPECT_EQ("หนังสือใหม่", list->titleText());
    ASSERT_FALSE(list->shopGroupArray()->empty());
    std::vector<std::string> dates;
    for (const auto& id : entryIds())
        dates.push_back(catalogue.findItem(id)->issueDate);
    EXPECT_TRUE(std::is_sorted(dates.rbegin(), dates.rend()));

    // The same object again asks nothing; an equal but other object asks again.
    const size_t menus = askedFor("GetWidgetInfo", "0.feature_book.books.Sort");
    list->setShopGroupInfo(books);
    settle();
    EXPECT_EQ(menus, askedFor("GetWidgetInfo", "0.feature_book.books.Sort"));
    list->setShopGroupInfo(group("0.feature_book.books"));
    ASSERT_TRUE(loaded());
    EXPECT_EQ(menus + 1, askedFor("GetWidgetInfo", "0.feature_book.books.Sort"));

    // Choosing an option shows its first page; the bar stays as it is.
    const auto bar = list->shopMenuSortArray();
    list->shopCategoryMenuCollectionCellSelect(optionItem("Title"));
    ASSERT_TRUE(loaded());
    EXPECT_EQ("0.feature_book.books.Title", list->currentCodeSort());
    EXPECT_EQ(bar, list->shopMenuSortArray());
    const auto ids = entryIds();
    std::vector<std::string> titles;
    for (const auto& id : ids)
        titles.push_back(catalogue.findItem(id)->title);
    EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end()));
}

TEST_F(GroupListTest, PagesOfFortyEightFromTheCountShownOneAtATime) {
    catalogue.generateItems(150, 7);
    size_t total = 0;
    for (const auto& item : catalogue.items())
        total += item.withdrawn ? 0 : 1;
    // The list of all items takes its own code as "Default": that is followed once, not again.
    list->setCurrentCodeSort(demo::kAllItemsGroup);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(demo::kAllItemsGroup, list->currentCodeSort());
    EXPECT_EQ(1u, askedFor("GetWidgetInfo", std::string(demo::kAllItemsGroup) + ".Sort"));
    ASSERT_EQ(48u, list->shopGroupArray()->size());

    const size_t pages = store.requestsForMethod("GetSubWidgetInfo").size();
    list->requestItemBookGroupInfoContinue();
    list->requestItemBookGroupInfoContinue();
    EXPECT_TRUE(list->isUpdateItem());
    ASSERT_TRUE(loaded());
    ASSERT_EQ(pages + 1, store.requestsForMethod("GetSubWidgetInfo").size());
    EXPECT_EQ(48, lastBody("GetSubWidgetInfo").value("start", -1));
    EXPECT_EQ(48, lastBody("GetSubWidgetInfo").value("length", -1));
    EXPECT_EQ(96u, list->shopGroupArray()->size());
    list->requestItemBookGroupInfoContinue();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(96, lastBody("GetSubWidgetInfo").value("start", -1));
    EXPECT_EQ(144u, list->shopGroupArray()->size());
    // The entries stand in the list's order, page after page.
    std::vector<int32_t> order;
    for (const auto& entry : *list->shopGroupArray())
        order.push_back(entry->OrderWidget_);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(1, order.front());

    while (list->shopGroupArray()->size() < total) {
        const size_t before = list->shopGroupArray()->size();
        list->requestItemBookGroupInfoContinue();
        ASSERT_TRUE(loaded());
        ASSERT_GT(list->shopGroupArray()->size(), before);
    }
    // Past the end: the same start again, nothing changes, and paging stays possible.
    const auto all = list->shopGroupArray();
    list->requestItemBookGroupInfoContinue();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(static_cast<int64_t>(total), lastBody("GetSubWidgetInfo").value("start", -1));
    EXPECT_EQ(all, list->shopGroupArray());
    EXPECT_FALSE(list->isUpdateItem());
}

TEST_F(GroupListTest, EmptyAndFailedRepliesChangeNothingAndANewGroupForgetsTheOldSort) {
    list->setShopGroupInfo(group("0.feature_book.books"));
    ASSERT_TRUE(loaded());
    const auto bar = list->shopMenuSortArray();
    const auto entries = list->shopGroupArray();
    const std::string title = list->titleText();

    // A group without sort options: title, bar and entries stay, and no entries are asked for.
    const size_t widgetCalls = store.requestsForMethod("GetWidgetInfo").size();
    list->setShopGroupInfo(group("0.feature_empty"));
    ASSERT_TRUE(loaded());
    EXPECT_EQ(widgetCalls + 1, store.requestsForMethod("GetWidgetInfo").size());
    EXPECT_EQ(bar, list->shopMenuSortArray());
    EXPECT_EQ(entries, list->shopGroupArray());
    EXPECT_EQ(title, list->titleText());
    // The earlier list's sort is not this group's, so no page of it is asked either.
    EXPECT_FALSE(list->currentCodeSort());
    const size_t pages = store.requestsForMethod("GetSubWidgetInfo").size();
    list->requestItemBookGroupInfoContinue();
    settle();
    EXPECT_EQ(pages, store.requestsForMethod("GetSubWidgetInfo").size());

    // Failed replies change nothing either, and the same page may be asked again.
    list->setCurrentCodeSort("0.feature_book.books.Rank");
    ASSERT_TRUE(loaded());
    const auto ranked = list->shopGroupArray();
    store.setFault("GetSubWidgetInfo", demo::Fault{demo::FaultKind::ServerError});
    list->requestItemBookGroupInfoContinue();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(ranked, list->shopGroupArray());
    store.clearFaults();
    list->requestItemBookGroupInfoContinue();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(pages + 2, store.requestsForMethod("GetSubWidgetInfo").size());
    EXPECT_EQ(static_cast<int64_t>(ranked->size()),
              lastBody("GetSubWidgetInfo").value("start", -1));
    store.setFault("GetWidgetInfo", demo::Fault{demo::FaultKind::ServerError});
    list->setShopGroupInfo(group("0.feature_all.books"));
    ASSERT_TRUE(loaded());
    EXPECT_EQ(ranked, list->shopGroupArray());
    EXPECT_EQ(bar, list->shopMenuSortArray());
}

TEST_F(GroupListTest, HostileOptionsAndEntriesGiveEmptyRowsAndCodesStayInTheCache) {
    // Options that are not a list: the title changes, the bar empties and there is nothing to
    // show.
    list->setShopGroupInfo(group("hostile.menu"));
    ASSERT_TRUE(loaded());
    EXPECT_EQ("Broken options", list->titleText());
    EXPECT_TRUE(list->shopMenuSortArray()->empty());
    EXPECT_TRUE(list->shopGroupArray()->empty());
    EXPECT_FALSE(list->currentCodeSort());

    // Options and entries with text types, without titles, and of other kinds.
    list->setShopGroupInfo(group("hostile.rows"));
    ASSERT_TRUE(loaded());
    ASSERT_EQ(2u, list->shopMenuSortArray()->size());
    EXPECT_EQ((std::vector<std::string>{"ยอดนิยม", ""}), labels());
    EXPECT_EQ("../x", list->currentCodeSort());
    const auto entries = list->shopGroupArray();
    ASSERT_EQ(3u, entries->size());
    for (const auto& entry : *entries)
        EXPECT_FALSE(entry->Title_ && entry->Title_->empty());
    EXPECT_EQ(1u, std::count_if(entries->begin(), entries->end(),
                                [](const auto& e) { return e->Title_ == "มีชื่อ"; }));

    // The escaping code's table lies inside the store archive.
    const auto domain = user()->shopGroupInfoDomainWithGroupCode("../x");
    const auto folder = domain->archiveTarget()->archivePath();
    const auto path = domain->dataTable()->filePath();
    EXPECT_EQ(folder, path.parent_path());
    EXPECT_TRUE(std::filesystem::exists(path));
    for (const auto& file : std::filesystem::directory_iterator(folder.parent_path()))
        EXPECT_EQ(std::string::npos, file.path().filename().string().find("x.table"))
            << file.path();
}

TEST_F(GroupListTest, ACoverClickReportsTheEntryWithTheListsGroupAndBackGoesUp) {
    auto books = group("0.feature_book.books");
    list->setShopGroupInfo(books);
    ASSERT_TRUE(loaded());
    const auto entry = list->shopGroupArray()->front();
    auto cell = std::make_shared<BookCoverCollectionCellView>();
    cell->setRepresentedObject(plat::Value(entry));
    // The console line goes to the system log whatever trace groups are on, never to the
    // terminal.
    const auto written =
        testing_support::writtenWithTracesOff([&] { list->bookCoverCollectionCellSelect(cell); });
    EXPECT_EQ(written.inSystemLog("Double clicked on icon: ShopInfo"), 1u);
    EXPECT_EQ(written.onTerminal("Double clicked on icon"), 0u);
    EXPECT_TRUE(delegate->calls().empty());

    delegate->on("shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:")
        .on("shopCategoryMainView:backToTopView:");
    list->bookCoverCollectionCellSelect(cell);
    const char* select = "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:";
    ASSERT_EQ(1u, delegate->count(select));
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(delegate->arguments(select)[0][0]), list);
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(delegate->arguments(select)[0][1]), entry);
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(delegate->arguments(select)[0][2]), books);
    list->backButton_Click(nullptr);
    ASSERT_EQ(1u, delegate->count("shopCategoryMainView:backToTopView:"));
    // The second argument is the empty string.
    EXPECT_EQ("", std::any_cast<std::string>(
                      delegate->arguments("shopCategoryMainView:backToTopView:")[0][1]));
}

}  // namespace
