// The store's cover cell in a grid: what it shows for each kind of entry, its one- and two-line
// title, covers that load or fail, and the click that reaches the grid's delegate.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/store/StoreResources.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"
#include "demo-service/V2WebMethods.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/ViewGeometry.h"
#include "support/DynamicObject.h"
#include "support/GuiTestSupport.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::spinUntil;

namespace {

Ref<VnMagazineIssueInfo> issue(const std::string& name, std::optional<std::string> cover) {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setIssueName(name);
    info->coverUrl_ = std::move(cover);
    return info;
}

}  // namespace

TEST(CoverCellTest, FillsByKindLaysOutTheTitleLoadsCoversAndReportsClicks) {
    ui::RunLoopBridge::install();
    auto& registry = ui::ResourceRegistry::shared();
    registry.addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) / "data" / "images");
    registerStoreResources(registry);
    const QImage placeholder = registry.imageNamed("vn3_cover_back.png");
    ASSERT_FALSE(placeholder.isNull());

    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::registerVersion2Methods(service, catalogue);
    ASSERT_TRUE(service.start());

    auto group = std::make_shared<VnShopGroupInfo>();  // no title, no description
    group->ImageUrl_ = service.baseUrl() + "/covers/BK0001.jpg";
    auto magazine = std::make_shared<VnMagazineInfo>();  // no latest issue
    magazine->setName("สุขภาพดี");
    auto dead = issue("Dead cover", "http://127.0.0.1:1/none.jpg");
    const std::vector<plat::Value> content = {group, magazine, issue("Short", std::nullopt), dead,
                                              plat::Value(int32_t{7})};

    ui::CollectionView grid;
    grid.resize(5 * (BookCoverCollectionCellView::kWidth + 10) + 10,
                BookCoverCollectionCellView::kHeight + 20);
    grid.setItemSize({BookCoverCollectionCellView::kWidth, BookCoverCollectionCellView::kHeight});
    grid.setItemFactory([] { return BookCoverCollectionCellView::makeFromStoryboard(); });
    auto delegate = testing_support::DynamicObject::make();
    delegate->on("bookCoverCollectionCellSelect:");
    grid.setDelegate(delegate);
    grid.setContent(content);
    grid.show();
    ASSERT_TRUE(spinUntil([&] { return grid.liveItemCount() == 5; }));
    auto cell = [&](int i) {
        return std::dynamic_pointer_cast<BookCoverCollectionCellView>(grid.itemAtIndex(i));
    };

    // Texts by kind, missing ones empty; the typed getters answer only their own kind.
    EXPECT_EQ(cell(0)->titleTextField->text(), "");
    EXPECT_EQ(cell(1)->titleTextField->text(), QString::fromUtf8("สุขภาพดี"));
    EXPECT_EQ(cell(1)->priceTextField->text(), "");
    EXPECT_EQ(cell(2)->titleTextField->text(), "Short");
    EXPECT_EQ(cell(0)->shopGroupInfo(), group);
    EXPECT_FALSE(cell(0)->magazineIssueInfo());
    EXPECT_FALSE(cell(3)->magazineInfo());
    EXPECT_EQ(cell(3)->magazineIssueInfo(), dead);
    EXPECT_FALSE(cell(4)->shopGroupInfo());
    EXPECT_FALSE(cell(4)->coverBackgroungImageView->pixmap().isNull());  // frames, no texts
    EXPECT_EQ(cell(4)->titleTextField->text(), "");

    // A cover that loads replaces the placeholder; a dead one keeps it; none shows it.
    ASSERT_TRUE(
        spinUntil([&] { return cell(0)->coverImageView()->image() != placeholder; }, 20000));
    EXPECT_EQ(cell(0)->coverImageView()->image().width(), 120);
    // The cover is shown stretched to its 110 x 160 place, with the picture's colours.
    QLabel* coverLabel = cell(0)->coverImageView()->label();
    EXPECT_EQ(coverLabel->pixmap().size(), QSize(110, 160));
    const QImage shown = coverLabel->grab().toImage();
    const QImage picture = cell(0)->coverImageView()->image();
    for (const QPoint at : {QPoint(3, 3), QPoint(30, 90), QPoint(60, 120)}) {
        const QColor want = picture.pixelColor(at.x() * 120 / 110, at.y());
        const QColor got = shown.pixelColor(at);
        EXPECT_NEAR(got.red(), want.red(), 24) << at.x() << "," << at.y();
        EXPECT_NEAR(got.green(), want.green(), 24) << at.x() << "," << at.y();
        EXPECT_NEAR(got.blue(), want.blue(), 24) << at.x() << "," << at.y();
    }
    testing_support::spin(200);
    EXPECT_EQ(cell(3)->coverImageView()->image(), placeholder);
    EXPECT_EQ(cell(2)->coverImageView()->image(), placeholder);

    // The title takes one line of 17 when it fits exactly, two of 31 one point wider, placed
    // 37 below the cover; the second line follows 16 under the title.
    auto short_ = cell(2);
    const int natural =
        QFontMetrics(short_->titleTextField->font()).horizontalAdvance(QStringLiteral("Short"));
    QRectF cover = ui::frame(short_->viewCover);
    ui::setFrame(short_->viewCover, {cover.x(), cover.y(), natural + 8.0, cover.height()});
    short_->viewDidAppear();
    QRectF title = ui::frame(short_->titleTextField);
    EXPECT_EQ(title.height(), 17);
    EXPECT_EQ(title.width(), natural);
    EXPECT_EQ(title.x(), cover.x() + 4);
    EXPECT_EQ(ui::frame(short_->priceTextField).y(), title.y() - 16);
    ui::setFrame(short_->viewCover, {cover.x(), cover.y(), natural + 7.0, cover.height()});
    short_->viewDidAppear();
    title = ui::frame(short_->titleTextField);
    EXPECT_EQ(title.height(), 31);
    EXPECT_EQ(title.y(), cover.y() - 37);
    EXPECT_EQ(ui::frame(short_->priceTextField).y(), title.y() - 16);

    // A click reaches the grid's delegate with the cell; without a delegate nothing happens.
    cell(3)->actionButton->click();
    ASSERT_EQ(delegate->count("bookCoverCollectionCellSelect:"), 1u);
    EXPECT_EQ(std::any_cast<Ref<plat::Object>>(
                  delegate->arguments("bookCoverCollectionCellSelect:")[0][0]),
              cell(3));
    grid.setDelegate(nullptr);
    cell(3)->actionButton->click();
    EXPECT_EQ(delegate->count("bookCoverCollectionCellSelect:"), 1u);

    // A cell without an entry keeps what its scene holds.
    auto empty = BookCoverCollectionCellView::makeFromStoryboard();
    empty->view();
    empty->viewDidAppear();
    EXPECT_TRUE(empty->coverBackgroungImageView->pixmap().isNull());
    EXPECT_EQ(ui::frame(empty->titleTextField).width(), 120);
}
