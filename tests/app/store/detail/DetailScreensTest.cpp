// The item detail's screens over the demo library: the detail resolving an entry through a router
// double, the author row, and the preview popup.
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "StoreTestSupport.h"
#include "app/store/StoreResources.h"
#include "app/store/detail/PreviewPopupMainView.h"
#include "app/store/detail/ShopDetailByAuthorView.h"
#include "app/store/detail/ShopDetailMainViewController.h"
#include "app/store/detail/ShopDetailRowViews.h"
#include "demo-service/DemoCovers.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/TableView.h"
#include "support/DynamicObject.h"
#include "support/GuiTestSupport.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

using testing_support::DynamicObject;

// How long a screen may wait for the demo's answers (a loaded machine, sanitizers).
constexpr int kPatience = 20000;

class DetailScreensTest : public StoreTest {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        StoreTest::SetUp();
        auto& registry = ui::ResourceRegistry::shared();
        registry.addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "images");
        registerStoreResources(registry);
        addMagazineOfThirtyIssues();
        addBooksOfOneAuthor();
        library = DynamicObject::make();
        useNeighbours(library);
    }

    // "MG30": 30 issues of 12 pages and 12.5 MB, one a day in January 2024.
    void addMagazineOfThirtyIssues() {
        demo::SampleTitle title;
        title.code = "MG30";
        title.name = "นิตยสารสามสิบฉบับ";
        title.summary = "ฉบับรายวันสำหรับการทดสอบ";
        title.categoryCode = "M01";
        title.sortIndex = 900;
        for (int day = 1; day <= 30; ++day) {
            demo::SampleItem item;
            item.code = issueCode(day);
            item.kind = demo::ItemKind::MagazineIssue;
            item.title = "ฉบับที่ " + std::to_string(day);
            item.titleCode = "MG30";
            item.publisher = "สำนักพิมพ์ทดสอบ";
            item.language = "th";
            item.issueDate = "2024/01/" + std::string(day < 10 ? "0" : "") + std::to_string(day);
            item.pageCount = 12;
            item.fileSize = 13107200;
            item.libraryCopies = 2;
            item.sortIndex = 900 + day;
            ASSERT_TRUE(catalogue.addItem(item));
            title.issueCodes.push_back(item.code);
        }
        ASSERT_TRUE(catalogue.addTitle(title));
    }
    static std::string issueCode(int day) {
        return "MG30-" + std::string(day < 10 ? "0" : "") + std::to_string(day);
    }
    // Three books of one author, listed out of order; one book without an author.
    void addBooksOfOneAuthor() {
        const std::vector<std::pair<std::string, int>> books = {
            {"BKA1", 930}, {"BKA2", 910}, {"BKA3", 920}, {"BKA0", 940}};
        for (const auto& [code, sortIndex] : books) {
            demo::SampleItem item;
            item.code = code;
            item.title = "เล่ม " + code;
            item.author = code == "BKA0" ? "" : "ผู้แต่งทดสอบ";
            item.language = "th";
            item.pageCount = 10;
            item.libraryCopies = 1;
            item.sortIndex = sortIndex;
            ASSERT_TRUE(catalogue.addItem(item));
        }
    }
    Ref<VnMagazineInfo> storeMagazine(const std::string& code) {
        auto result = run(user()->requestForShopMagazineWithCode(code));
        if (!result)
            return nullptr;
        if (auto list = result->returnValue().array())
            return list->count() ? list->objectAtIndex(0).as<VnMagazineInfo>() : nullptr;
        return result->returnValue().as<VnMagazineInfo>();
    }
    static std::vector<std::string> codes(const ShopDetailByAuthorView::IssueList& list) {
        std::vector<std::string> out;
        for (const auto& item : list)
            out.push_back(item->code().value_or(""));
        return out;
    }
    // Pixels of the label's area in a grab of the window that are darker than the background.
    static int inkOf(QLabel* label) {
        const QImage shot = label->grab().toImage();
        int ink = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                ink += qGray(shot.pixel(x, y)) < 128;
        return ink;
    }

    // A record of the kind the detail shows, with a code and a summary.
    static Ref<VnMagazineIssueInfo> record(const std::string& code, std::string summary) {
        auto item = std::make_shared<VnMagazineIssueInfo>();
        item->setCode(code);
        item->summary_ = std::move(summary);
        return item;
    }
    // A router under "UriDirect" that answers every link with the selector and the record.
    static void routeEveryLinkTo(const char* answer, const Ref<plat::Object>& record) {
        auto router = DynamicObject::make();
        DynamicObject* routerSelf = router.get();
        auto answerTo = std::make_shared<WeakRef<plat::Object>>();
        router->on("initWithDelegate:", [answerTo](plat::Args& a) {
            *answerTo = std::any_cast<Ref<plat::Object>>(a[0]);
            return std::any();
        });
        router->on("cancel");
        router->on("redirectUri:", [answerTo, answer, record, routerSelf](plat::Args&) {
            plat::sendIfResponds(*answerTo, answer, routerSelf->self(),
                                 std::dynamic_pointer_cast<VnMagazineIssueInfo>(record));
            return std::any();
        });
        ui::ResourceRegistry::shared().replaceController("", "UriDirect",
                                                         [router] { return router; });
    }
    // A finished list request's result: the snapshot, with or without new records.
    static Ref<VnRequestResult> listReply(const ShopDetailByAuthorView::IssueList& items,
                                          bool hasUpdated) {
        VnInfoList list(items.begin(), items.end());
        return VnRequestResult::resultWithReturnValue(
            plat::Value::fromObject(VnUpdatedLocalSnapshot::snapshotsWithItems(
                std::move(list), plat::Date::now(), hasUpdated)),
            nullptr);
    }

    Ref<DynamicObject> library;
};

class ShopDetailTest : public DetailScreensTest {};
class AuthorRowTest : public DetailScreensTest {};
class PreviewPopupTest : public DetailScreensTest {};

}  // namespace

TEST_F(ShopDetailTest, ResolvesAnEntryAndShowsTheMagazineWithItsBackIssues) {
    const auto magazine = storeMagazine("MG30");
    ASSERT_TRUE(magazine && magazine->latestIssue_);
    auto router = DynamicObject::make();
    DynamicObject* routerSelf = router.get();
    WeakRef<plat::Object> answerTo;
    router->on("initWithDelegate:", [&](plat::Args& a) {
        answerTo = std::any_cast<Ref<plat::Object>>(a[0]);
        return std::any();
    });
    router->on("cancel");
    router->on("redirectUri:", [&, routerSelf](plat::Args&) {
        plat::sendIfResponds(answerTo, "UriDirect:webLinkByMagazineInfo:", routerSelf->self(),
                             magazine);
        return std::any();
    });
    ui::ResourceRegistry::shared().replaceController("", "UriDirect", [router] { return router; });
    auto container = DynamicObject::make();
    container->on("shopDetailMainViewLoadDataInfoComplete").on("shopDetailMainViewStartLoading");

    auto detail = ui::ResourceRegistry::shared().instantiate<ShopDetailMainViewController>(
        "ShopDetailStoryboard", "ShopDetailMainView");
    ASSERT_TRUE(detail);
    detail->setDelegate(container);
    detail->setIsBook(false);
    auto entry = std::make_shared<VnShopGroupInfo>();
    entry->LinkUrl_ = " \tvarnel.kel://shop/magazine?id=MG30\n";
    detail->setCurrentGroupInfo(entry);
    detail->setHeaderTitle("นิตยสาร / มาใหม่");
    ASSERT_EQ(router->count("redirectUri:"), 1u);
    EXPECT_EQ(std::any_cast<std::string>(router->arguments("redirectUri:")[0][0]),
              "varnel.kel://shop/magazine?id=MG30");
    EXPECT_EQ(container->count("shopDetailMainViewLoadDataInfoComplete"), 1u);
    EXPECT_EQ(detail->magazineInfo(), magazine);
    EXPECT_EQ(detail->magazineIssueInfo(), magazine->latestIssue_);

    QWidget* view = detail->view();
    view->resize(800, 1000);
    view->show();
    const auto& row = detail->byAuthorView();
    ASSERT_TRUE(testing_support::spinUntil(
        [&] { return row && row->magazineIssueArray()->size() == 20; }, kPatience));
    std::vector<std::string> newest;
    for (int day = 30; day > 10; --day)
        newest.push_back(issueCode(day));
    EXPECT_EQ(codes(*row->magazineIssueArray()), newest);
    const auto meta = store.requestsForMethod("GetMetaMagazineIssueInfos");
    ASSERT_FALSE(meta.empty());
    const auto body = demo::Json::parse(meta.back().body, nullptr, false);
    ASSERT_TRUE(body.is_object()) << meta.back().body;
    EXPECT_EQ(body.value("magazineCode", ""), "MG30");
    EXPECT_EQ(body.value("start", -1), 0) << meta.back().body;
    EXPECT_EQ(body.value("length", -1), 20);
    EXPECT_EQ(detail->titleTextField->text(), QString::fromUtf8("นิตยสาร / มาใหม่"));

    // The rows: heights, the summary of the magazine, the description with its sizes.
    EXPECT_EQ(detail->mainTableView->rectOfRow(0).height(), 355);
    EXPECT_EQ(detail->mainTableView->rectOfRow(1).height(), 200);
    EXPECT_EQ(detail->mainTableView->rectOfRow(2).height(), 210);
    EXPECT_EQ(detail->mainTableView->rectOfRow(3).height(), 165);
    ASSERT_TRUE(detail->aboutInfoView && detail->descriptionVitew);
    EXPECT_EQ(detail->aboutInfoView->summaryTextField->text(),
              QString::fromUtf8("ฉบับรายวันสำหรับการทดสอบ"));
    auto* description = detail->descriptionVitew.data();
    EXPECT_EQ(description->fileSizeTextField->text(), "12.50 MB");
    EXPECT_EQ(description->onSaleDateTextField->text(), "-");
    EXPECT_EQ(description->printLengthTextField->text(), "12");
    EXPECT_GT(inkOf(description->fileSizeTextField), 20);
    EXPECT_GT(inkOf(description->onSaleDateTextField), 2);

    // A cover of the strip: that issue, with no new resolution and no report.
    const auto chosen = (*row->magazineIssueArray())[2];
    testing_support::spin(50);
    auto cover = std::dynamic_pointer_cast<ShopDetailBackIssueCollectionItemView>(
        row->collectionView->itemAtIndex(2));
    ASSERT_TRUE(cover);
    cover->button->click();
    EXPECT_EQ(detail->magazineIssueInfo(), chosen);
    EXPECT_EQ(detail->magazineInfo(), magazine);
    EXPECT_EQ(container->count("shopDetailMainViewLoadDataInfoComplete"), 1u);
    EXPECT_EQ(container->count("shopDetailMainViewStartLoading"), 0u);
    EXPECT_EQ(router->count("redirectUri:"), 1u);

    // No row can be chosen; the back button sends the screen and the empty string.
    for (int i = 0; i < detail->mainTableView->numberOfRows(); ++i) {
        detail->mainTableView->selectRow(i);
        EXPECT_EQ(detail->mainTableView->selectedRow(), -1) << i;
    }
    container->on("shopDetailMainView:backToTopView:");
    detail->backButton->click();
    const char* back = "shopDetailMainView:backToTopView:";
    ASSERT_EQ(container->count(back), 1u);
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(container->arguments(back)[0][0]), detail);
    EXPECT_EQ(std::any_cast<std::string>(container->arguments(back)[0][1]), "");
    container->arguments(back).clear();  // the double's log holds the screen

    // A later header shows; an answer after the screen has gone reaches nothing.
    detail->setHeaderTitle("นิตยสาร / ขายดี");
    EXPECT_EQ(detail->titleTextField->text(), QString::fromUtf8("นิตยสาร / ขายดี"));
    WeakRef<ShopDetailMainViewController> weak = detail;
    view->hide();
    router->arguments("initWithDelegate:").clear();  // the double's log holds what it was sent
    detail.reset();
    testing_support::spin(50);
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(answerTo.lock());
    ui::ResourceRegistry::shared().removeController("", "UriDirect");
}

// The "About" row shows the book's summary only for a book; an issue or a book reached while the
// screen is not told it shows a book gives "-".
TEST_F(ShopDetailTest, TheAboutRowFollowsTheBookRoad) {
    auto container = DynamicObject::make();
    container->on("shopDetailMainViewLoadDataInfoComplete");
    const auto summaryShown = [&](bool isBook, const char* answer, const Ref<plat::Object>& item) {
        routeEveryLinkTo(answer, item);
        auto detail = ui::ResourceRegistry::shared().instantiate<ShopDetailMainViewController>(
            "ShopDetailStoryboard", "ShopDetailMainView");
        EXPECT_TRUE(detail);
        if (!detail)
            return std::string("<no screen>");
        detail->setDelegate(container);
        detail->setIsBook(isBook);
        auto entry = std::make_shared<VnShopGroupInfo>();
        entry->LinkUrl_ = "varnel.kel://shop/book?id=X";
        detail->setCurrentGroupInfo(entry);
        QWidget* view = detail->view();
        view->resize(800, 1000);
        view->show();
        EXPECT_TRUE(
            testing_support::spinUntil([&] { return bool(detail->aboutInfoView); }, kPatience));
        EXPECT_FALSE(detail->magazineInfo());
        EXPECT_EQ(detail->magazineIssueInfo(), item);
        const auto& about = detail->aboutInfoView;
        const std::string shown =
            about ? about->summaryTextField->text().toStdString() : "<no row>";
        view->hide();
        return shown;
    };
    const auto book = record("BK-ABOUT", "เรื่องย่อของหนังสือ");
    EXPECT_EQ(summaryShown(true, "UriDirect:webLinkByBookInfo:", book), "เรื่องย่อของหนังสือ");
    EXPECT_EQ(summaryShown(true, "UriDirect:webLinkByBookInfo:", record("BK-NONE", "")), "");
    EXPECT_EQ(summaryShown(false, "UriDirect:webLinkByBookInfo:", book), "-");
    EXPECT_EQ(summaryShown(
                  false, "UriDirect:webLinkByMagazineIssueInfo:", record("MG-ABOUT", "ฉบับนี้มีอะไร")),
              "-");
    EXPECT_EQ(container->count("shopDetailMainViewLoadDataInfoComplete"), 4u);
    ui::ResourceRegistry::shared().removeController("", "UriDirect");
}

// A list reply that brings nothing new keeps the list shown from the cache; one that does
// replaces it. So does a failed reply: nothing is replaced.
TEST_F(AuthorRowTest, AReplyWithNoUpdateKeepsTheCachedList) {
    auto row = ui::ViewController::create<ShopDetailByAuthorView>();
    row->view()->resize(760, 200);
    row->view()->show();
    const auto others = ShopDetailByAuthorView::IssueList{storeItem("BKA0")};
    // Once the row's own request has been answered (the test's cache starts empty, so the list
    // shows only then): replies to a list request of that kind.
    using Update = void (ShopDetailByAuthorView::*)(Ref<plat::Object>, Ref<VnRequestResult>);
    const auto keptUntilUpdated = [&](Update update) {
        const auto cached = row->magazineIssueArray();
        ((*row).*update)(nullptr, listReply(others, false));
        EXPECT_EQ(row->magazineIssueArray(), cached);
        ((*row).*update)(nullptr, VnRequestResult::failedResultWithErrorMessage("x"));
        EXPECT_EQ(row->magazineIssueArray(), cached);
        ((*row).*update)(nullptr, listReply(others, true));
        EXPECT_EQ(codes(*row->magazineIssueArray()), std::vector<std::string>{"BKA0"});
    };

    // The magazine's back issues.
    const auto magazine = storeMagazine("MG30");
    ASSERT_TRUE(magazine);
    row->setMagazineInfo(magazine);
    ASSERT_TRUE(testing_support::spinUntil([&] { return row->magazineIssueArray()->size() == 20; },
                                           kPatience));
    keptUntilUpdated(&ShopDetailByAuthorView::magazineIssueInfoUpdate);

    // The author's other books.
    row->setMagazineIssueInfo(storeItem("BKA1"));
    ASSERT_TRUE(testing_support::spinUntil(
        [&] {
            return codes(*row->magazineIssueArray()) == std::vector<std::string>{"BKA2", "BKA3"};
        },
        kPatience));
    keptUntilUpdated(&ShopDetailByAuthorView::bookAuthorIssueUpdate);
}

TEST_F(AuthorRowTest, ShowsTheAuthorsOtherBooksAndReportsAChoice) {
    auto row = ui::ViewController::create<ShopDetailByAuthorView>();
    auto delegate = DynamicObject::make();
    delegate->on("shopDetailByAuthorView:selectMagazineIssueInfo:");
    row->setDelegate(delegate);
    row->view()->resize(760, 200);
    row->view()->show();
    row->setMagazineIssueInfo(storeItem("BKA1"));
    ASSERT_TRUE(testing_support::spinUntil(
        [&] {
            return codes(*row->magazineIssueArray()) == std::vector<std::string>{"BKA2", "BKA3"};
        },
        kPatience));
    EXPECT_FALSE(row->seeAllButton->isVisible());
    EXPECT_EQ(row->titleByAuthorTextField->text(), QString::fromUtf8("โดยผู้แต่งคนนี้"));

    testing_support::spin(50);
    auto cover = std::dynamic_pointer_cast<ShopDetailBackIssueCollectionItemView>(
        row->collectionView->itemAtIndex(1));
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->issueNameTextField->text(), QString::fromUtf8("เล่ม BKA3"));
    cover->button->click();
    ASSERT_EQ(delegate->count("shopDetailByAuthorView:selectMagazineIssueInfo:"), 1u);
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(
                  delegate->arguments("shopDetailByAuthorView:selectMagazineIssueInfo:")[0][1]),
              (*row->magazineIssueArray())[1]);

    // A book without an author: an empty strip, nothing asked.
    const size_t asked = store.requestsForMethod("GetMetaBookInfos").size();
    row->setMagazineIssueInfo(storeItem("BKA0"));
    EXPECT_TRUE(row->magazineIssueArray()->empty());
    testing_support::spin(100);
    EXPECT_EQ(store.requestsForMethod("GetMetaBookInfos").size(), asked);
    EXPECT_EQ(row->collectionView->liveItemCount(), 0);
}

TEST_F(PreviewPopupTest, ShowsEachPagesPreviewAndCancelsWithTheCell) {
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue"));
    auto popup = ui::ResourceRegistry::shared().instantiate<PreviewPopupMainView>(
        "PreviewPopupStoryboard", "PreviewPopupMainView");
    ASSERT_TRUE(popup);
    auto container = DynamicObject::make();
    container->on("previewPopupMainViewClose");
    popup->setDelegate(container);
    popup->view()->resize(700, 600);
    popup->view()->show();
    const auto issue = storeItem(issueCode(5));
    ASSERT_TRUE(issue);
    popup->setMagazineIssueInfo(issue);
    ASSERT_EQ(popup->items().size(), 12u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(popup->items()[static_cast<size_t>(i)]->indexPage, i);
    auto cell = [&](int i) {
        return std::dynamic_pointer_cast<PreviewPopupItemView>(
            popup->collectionView->itemAtIndex(i));
    };
    ASSERT_TRUE(testing_support::spinUntil(
        [&] {
            for (int i = 0; i < 12; ++i)
                if (!cell(i) || cell(i)->imgPreview->pixmap().isNull())
                    return false;
            return true;
        },
        20000));
    for (int i : {0, 11}) {
        const std::string jpeg =
            demo::demoDrawnImage(issueCode(5) + "/" + std::to_string(i), 240, 320, false);
        const QImage expected = QImage::fromData(reinterpret_cast<const uchar*>(jpeg.data()),
                                                 static_cast<int>(jpeg.size()))
                                    .convertToFormat(QImage::Format_ARGB32);
        const QImage shown =
            cell(i)->imgPreview->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(shown.size(), QSize(240, 320));
        EXPECT_EQ(shown.pixel(120, 40), expected.pixel(120, 40));
        EXPECT_EQ(shown.pixel(30, 300), expected.pixel(30, 300));
    }

    // The same issue keeps the cells; closing asks the container.
    const int made = popup->collectionView->madeItemCount();
    popup->setMagazineIssueInfo(issue);
    EXPECT_EQ(popup->collectionView->madeItemCount(), made);
    popup->closeButton->click();
    EXPECT_EQ(container->count("previewPopupMainViewClose"), 1u);
    popup->setMagazineIssueInfo(nullptr);
    EXPECT_TRUE(popup->items().empty());

    // A cell let go while its preview loads cancels the request.
    service.setFault("GetAssetFiles", demo::Fault::stall(10));
    auto page = std::make_shared<PreviewObjectItem>();
    page->issueInfo = storeItem(issueCode(6));
    page->indexPage = 3;
    auto loose = ui::ViewController::create<PreviewPopupItemView>();
    loose->setRepresentedObject(page);
    loose->viewDidAppear();
    const auto request = loose->request();
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->running());
    loose.reset();
    EXPECT_FALSE(request->running());
    service.releaseStalled();
}
