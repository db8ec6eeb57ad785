// The top chart page over the demo library, with doubles of the item detail, the group item list
// and the overlay, and the program's own link router.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "ScreenTestSupport.h"
#include "app/links/LinkResources.h"
#include "app/store/StoreResources.h"
#include "app/store/detail/StoreTestSupport.h"
#include "app/store/topchart/TopChartCollectionCellView.h"
#include "app/store/topchart/TopChartListViewController.h"
#include "app/store/topchart/TopChartMainView.h"
#include "app/store/topchart/TopChartMainViewController.h"
#include "demo-service/DemoTopCharts.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using screen_test::DynamicObject;
using testing_support::sentArgument;
using testing_support::spinUntil;

namespace {

constexpr int kPatience = 20000;

class TopChartTest : public StoreTest {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        StoreTest::SetUp();
        auto& registry = ui::ResourceRegistry::shared();
        registerStoreResources(registry);
        registerLinkResources(registry);
        doubles.add("ShopDetailStoryboard", "ShopDetailMainView",
                    {"setDelegate:", "setIsBook:", "setCurrentGroupInfo:", "setHeaderTitle:"});
        doubles.add("", "ShopCategoryMainViewController", {"setDelegate:", "setCurrentCodeSort:"});
        doubles.add("", "HZLoading", {"setDelegate:"});
    }

    // The ids that "GetWidgetInfo" and "GetSubWidgetInfo" were asked for, with start and length.
    std::vector<std::string> asked(const char* method) const {
        std::vector<std::string> out;
        for (const auto& request : store.requestsForMethod(method)) {
            const auto body = demo::Json::parse(request.body, nullptr, false);
            std::string text = body.value("id", "");
            if (body.contains("start"))
                text += "@" + body["start"].dump() + "+" + body["length"].dump();
            out.push_back(text);
        }
        return out;
    }
    static std::vector<std::string> popupTexts(const TopChartListViewController& column) {
        std::vector<std::string> out;
        for (int i = 0; i < column.catePopupButton->count(); ++i)
            out.push_back(column.catePopupButton->itemText(i).toStdString());
        return out;
    }
    static std::vector<std::string> ids(const TopChartListViewController& column) {
        std::vector<std::string> out;
        for (const auto& entry : column.shopGroupArray())
            out.push_back(entry->Id_.value_or(""));
        return out;
    }
    // Scrolls a long list to its bottom; a short one only has its bounds changed.
    static void scrollToBottom(const TopChartListViewController& column) {
        QScrollBar* bar = column.collentiionView->verticalScrollBar();
        if (bar->maximum() == 0)
            plat::NotificationCenter::defaultCenter().postNotificationName(
                ui::kViewBoundsDidChangeNotification, column.collentiionView->boundsObject());
        bar->setValue(bar->maximum() - 1);
        bar->setValue(bar->maximum());
    }
    static void choose(TopChartListViewController& column, int index) {
        column.catePopupButton->setCurrentIndex(index);
        emit column.catePopupButton->activated(index);
    }
    static void click(const TopChartListViewController& column, int index) {
        auto cell = column.collentiionView->itemAtIndex(index);
        ASSERT_TRUE(cell) << index;
        cell->view()->findChild<QPushButton*>()->click();
    }

    // The top chart page, made and shown as the main window shows it; null when it is not made.
    static Ref<TopChartMainViewController> showPage() {
        auto page = ui::ResourceRegistry::shared().instantiate<TopChartMainViewController>(
            "", "TopChartMainViewController");
        if (page) {
            page->view()->resize(1100, 760);
            page->view()->show();
        }
        return page;
    }
    static Ref<TopChartMainView> mainOf(const Ref<TopChartMainViewController>& page) {
        return page ? std::dynamic_pointer_cast<TopChartMainView>(page->mainChild()) : nullptr;
    }

    screen_test::Doubles doubles;
};

// Texts that the shown labels below the view hold.
std::vector<std::string> shownLabelTexts(QWidget* page) {
    std::vector<std::string> texts;
    for (const QLabel* label : page->findChildren<QLabel*>()) {
        if (label->isVisible() && !label->text().isEmpty())
            texts.push_back(label->text().toStdString());
    }
    return texts;
}

TEST_F(TopChartTest, AFailedColumnSaysNothingAndAsksAgainWhenShownAgain) {
    // The store answers nothing (an empty column also asks for a next page as its end shows).
    store.setFault("GetWidgetInfo", {demo::FaultKind::ServerError});
    store.setFault("GetSubWidgetInfo", {demo::FaultKind::ServerError});
    auto page = showPage();
    auto main = mainOf(page);
    ASSERT_TRUE(main);
    auto& books = *main->topChartBookView();
    ASSERT_TRUE(spinUntil([&] { return books.categoryAnswered(); }, kPatience));
    // The column stays as it was, empty, with no message and no alert.
    EXPECT_TRUE(books.shopGroupArray().empty());
    EXPECT_EQ(shownLabelTexts(books.view()), std::vector<std::string>{});
    EXPECT_TRUE(alerts->messages.empty());

    // Shown again with the service back: the column asks again and fills.
    store.clearFaults();
    page->view()->hide();
    page->view()->show();
    ASSERT_TRUE(spinUntil([&] { return books.shopGroupArray().size() == 48; }, kPatience));
}

TEST_F(TopChartTest, ColumnsLoadPageAndOpenTheirEntries) {
    auto page = showPage();
    auto main = mainOf(page);
    ASSERT_TRUE(main);
    auto& books = *main->topChartBookView();
    auto& magazines = *main->topChartMagazineView();
    auto& newspapers = *main->topChartNewspaperView();
    ASSERT_TRUE(spinUntil(
        [&] {
            return books.shopGroupArray().size() == 48 && !magazines.shopGroupArray().empty() &&
                   !newspapers.shopGroupArray().empty();
        },
        kPatience));

    // Three columns, each with its title, its paid chart of "all", and no free chart.
    EXPECT_EQ(books.titleTextField->text().toStdString(), "หนังสือ");
    EXPECT_EQ(magazines.titleTextField->text().toStdString(), "นิตยสาร");
    EXPECT_EQ(newspapers.titleTextField->text().toStdString(), "หนังสือพิมพ์");
    auto widgets = asked("GetWidgetInfo");
    std::sort(widgets.begin(), widgets.end());
    EXPECT_EQ(widgets,
              (std::vector<std::string>{"0.categories_top", "0.categories_top", "0.categories_top",
                                        "0.topseller_book_paid", "0.topseller_magazine_paid",
                                        "0.topseller_newspaper_paid"}));
    // "all" first, the categories by their order, the unordered last.
    EXPECT_EQ(popupTexts(books),
              (std::vector<std::string>{"ทั้งหมด", "ประวัติศาสตร์", "Children's Books", "นวนิยาย",
                                        "ธุรกิจและเศรษฐกิจ"}));
    EXPECT_EQ(popupTexts(newspapers), (std::vector<std::string>{"ทั้งหมด", "ข่าวและหนังสือพิมพ์"}));
    ASSERT_TRUE(spinUntil([&] { return books.collentiionView->itemAtIndex(2) != nullptr; }));
    auto third = std::dynamic_pointer_cast<TopChartCollectionCellView>(
        books.collentiionView->itemAtIndex(2));
    EXPECT_EQ(third->rankTextFielad->text(), "3");
    EXPECT_FALSE(third->bgCategory->pixmap().isNull());

    // Two scrolls to the bottom while the next page is on its way ask for one page, from 48.
    store.setFault("GetSubWidgetInfo", demo::Fault::stall(30));
    scrollToBottom(books);
    ASSERT_TRUE(store.waitForStalled(1, 10));
    scrollToBottom(books);
    EXPECT_TRUE(books.isUpdateTopSeller());
    store.clearFaults();
    store.releaseStalled();
    ASSERT_TRUE(spinUntil([&] { return books.shopGroupArray().size() == 96; }, kPatience));
    const auto pages = asked("GetSubWidgetInfo");
    EXPECT_EQ(std::count(pages.begin(), pages.end(), "0.topseller_book_paid@48+48"), 1);
    EXPECT_EQ(pages.back(), "0.topseller_book_paid@48+48");
    EXPECT_EQ(ids(books)[95], "0.topseller_book_paid.96");
    EXPECT_FALSE(books.isUpdateTopSeller());

    // A category: "<Id>.paid". While its first page runs the old entries stay and no next page
    // starts; a next page cancelled by it does not block the column.
    store.clearRequests();
    store.setFault("GetSubWidgetInfo", demo::Fault::stall(30));
    scrollToBottom(books);
    ASSERT_TRUE(store.waitForStalled(1, 10));
    store.setFault("GetWidgetInfo", demo::Fault::stall(30));
    choose(books, 1);
    ASSERT_TRUE(store.waitForStalled(2, 10));
    EXPECT_FALSE(books.isUpdateTopSeller());
    scrollToBottom(books);
    EXPECT_EQ(books.shopGroupArray().size(), 96u);
    store.clearFaults();
    store.releaseStalled();
    ASSERT_TRUE(spinUntil([&] { return books.shopGroupArray().size() == 1; }, kPatience));
    EXPECT_EQ(asked("GetWidgetInfo"), std::vector<std::string>{"B04.paid"});
    EXPECT_EQ(ids(books), std::vector<std::string>{"B04.paid.1"});
    scrollToBottom(books);
    ASSERT_TRUE(spinUntil([&] { return !books.isUpdateTopSeller(); }, kPatience));
    EXPECT_EQ(asked("GetSubWidgetInfo").back(), "B04.paid@1+48");

    // An empty first page leaves the entries; "all" again brings its chart back.
    store.setFault("GetWidgetInfo", {demo::FaultKind::NullResult});
    choose(books, 2);
    ASSERT_TRUE(spinUntil([&] { return !books.reqGroupTopSeller()->running(); }, kPatience));
    EXPECT_EQ(ids(books), std::vector<std::string>{"B04.paid.1"});
    store.clearFaults();
    choose(books, 0);
    ASSERT_TRUE(spinUntil([&] { return books.shopGroupArray().size() == 48; }, kPatience));

    // A book: the detail prepared under the overlay with "หนังสือ / ทั้งหมด", then shown.
    click(books, 0);
    auto& detail = *doubles.made("ShopDetailMainView").at(0);
    EXPECT_TRUE(page->isOverlayShown());
    EXPECT_EQ(sentArgument<bool>(detail, "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<std::string>(detail, "setHeaderTitle:", 0), "หนังสือ / ทั้งหมด");
    EXPECT_EQ(sentArgument<Ref<VnShopGroupInfo>>(detail, "setCurrentGroupInfo:", 0)->Id_,
              "0.topseller_book_paid.1");
    plat::send(page, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_EQ(page->currentChild().get(), &detail);
    EXPECT_FALSE(page->isOverlayShown());
    plat::send(page, "shopDetailMainView:backToTopView:", detail.self(), std::string());
    EXPECT_EQ(page->currentChild(), main);
    // A newspaper issue gets the magazine word.
    click(newspapers, 0);
    EXPECT_EQ(sentArgument<std::string>(detail, "setHeaderTitle:", 1), "นิตยสาร / ทั้งหมด");
    plat::send(page, "HZLoading_CancelClick:", doubles.made("HZLoading").at(0));

    // The list link: the group item list, whose back returns to the columns as they were.
    click(books, 2);
    auto& list = *doubles.made("ShopCategoryMainViewController").at(0);
    EXPECT_EQ(sentArgument<std::string>(list, "setCurrentCodeSort:", 0), "0.feature_all.books");
    EXPECT_EQ(page->currentChild().get(), &list);
    plat::send(page, "shopCategoryMainView:backToTopView:", list.self(), std::string());
    EXPECT_EQ(page->currentChild(), main);
    EXPECT_EQ(books.shopGroupArray().size(), 48u);
    EXPECT_TRUE(asked("GetWidgetInfo").size() > 0);
    for (const auto& id : asked("GetWidgetInfo"))
        EXPECT_EQ(id.find("_free"), std::string::npos) << id;

    // Hostile groups: sections whose categories are no list, numbers as titles, codes with
    // "/", charts without a list: empty columns and popups.
    const auto widgetInfo = store.methodHandler("GetWidgetInfo");
    store.addMethodWithRequest(
        "GetWidgetInfo", [widgetInfo](const demo::Json& body, auto& session, const auto& request) {
            const std::string id = body.value("id", "");
            if (id == "0.categories_top")
                return demo::Json::parse(R"({"Id": "0.categories_top", "Subwidgets": [
                {"PredefinedId": "0.categories.books", "Subwidgets": "no list"},
                {"PredefinedId": "0.categories.magazines",
                 "Subwidgets": [{"Id": "../x/y", "Title": 42, "OrderWidget": "z"}, 7, null]},
                {"PredefinedId": 5}]})");
            if (id.find("paid") != std::string::npos)
                return demo::Json::parse(R"({"Id": "c", "Subwidgets": {"Title": "no list"}})");
            return widgetInfo(body, session, request);
        });
    auto subWidgets = std::make_shared<demo::Json>(demo::Json::array());
    store.addMethodWithRequest(
        "GetSubWidgetInfo",
        [subWidgets](const demo::Json&, auto&, const auto&) { return *subWidgets; });
    auto hostile = showPage();
    auto hostileMain = mainOf(hostile);
    ASSERT_TRUE(hostileMain);
    auto& hostileMagazines = *hostileMain->topChartMagazineView();
    auto settled = [](const TopChartListViewController& column) {
        return [&column] {
            return column.reqGroupTopSeller() && !column.reqGroupTopSeller()->running() &&
                   !column.isUpdateTopSeller() && !column.isLoadingFirstPage();
        };
    };
    ASSERT_TRUE(spinUntil(settled(hostileMagazines), kPatience));
    ASSERT_TRUE(spinUntil(settled(*hostileMain->topChartBookView()), kPatience));
    EXPECT_EQ(popupTexts(*hostileMain->topChartBookView()), std::vector<std::string>{"ทั้งหมด"});
    EXPECT_TRUE(hostileMain->topChartBookView()->shopGroupArray().empty());
    EXPECT_EQ(hostileMagazines.catePopupButton->count(), 2);
    EXPECT_TRUE(hostileMagazines.shopGroupArray().empty());
    EXPECT_EQ(popupTexts(*hostileMain->topChartNewspaperView()), std::vector<std::string>{});
    store.clearRequests();
    choose(hostileMagazines, 1);
    ASSERT_TRUE(spinUntil(settled(hostileMagazines), kPatience));
    EXPECT_EQ(asked("GetWidgetInfo"), std::vector<std::string>{"../x/y.paid"});
    EXPECT_TRUE(hostileMagazines.shopGroupArray().empty());
    // A page of entries without codes is shown, though not stored.
    *subWidgets = demo::Json::parse(R"([{"Title": 12, "LinkUrl": 3}])");
    scrollToBottom(hostileMagazines);
    ASSERT_TRUE(spinUntil(settled(hostileMagazines), kPatience));
    EXPECT_EQ(hostileMagazines.shopGroupArray().size(), 1u);
    EXPECT_EQ(asked("GetSubWidgetInfo").back(), "../x/y.paid@0+48");
}

}  // namespace
