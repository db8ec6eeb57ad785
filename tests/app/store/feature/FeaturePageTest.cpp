// A feature page against the demo store: the rows in the page's order with their heights, the
// banners' pictures on screen, what each click reports, and when the page loads again.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "../detail/StoreTestSupport.h"
#include "app/common/QtImageView.h"
#include "app/store/StoreResources.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/StoreScreenContainer.h"
#include "app/store/feature/FeatureAdBannerItemView.h"
#include "app/store/feature/FeatureAdBannerView.h"
#include "app/store/feature/FeatureBannerGroupCollectionCellView.h"
#include "app/store/feature/FeatureBannerGroupView.h"
#include "app/store/feature/FeatureGroupItemView.h"
#include "app/store/feature/MIHSliderDotsControl.h"
#include "app/store/feature/MIHSliderView.h"
#include "app/store/feature/ShopFeatureMainView.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "platform_ui/SubviewTransition.h"
#include "platform_ui/TableView.h"
#include "support/CapturedLog.h"
#include "support/DynamicObject.h"
#include "support/GuiTestSupport.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::DynamicObject;
using testing_support::memberWait;
using testing_support::spin;
using testing_support::spinUntil;

namespace {

// An object argument of a recorded message (null when it was sent as null).
Ref<VnShopGroupInfo> groupArgument(DynamicObject& object, const std::string& sel, size_t call,
                                   size_t index) {
    const std::any& slot = object.arguments(sel).at(call).at(index);
    if (const auto* ref = std::any_cast<Ref<plat::Object>>(&slot))
        return std::dynamic_pointer_cast<VnShopGroupInfo>(*ref);
    if (const auto* ref = std::any_cast<Ref<VnShopGroupInfo>>(&slot))
        return *ref;
    return nullptr;
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 24 && std::abs(qGreen(a) - qGreen(b)) < 24 &&
           std::abs(qBlue(a) - qBlue(b)) < 24;
}

class FeaturePageTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ui::RunLoopBridge::install();
        auto& registry = ui::ResourceRegistry::shared();
        registry.addImageFolder(VARNEL_SOURCE_DIR "/data/images");
        registerStoreResources(registry);
        delegate->on("shopFeatureMainViewStartDownloading")
            .on("shopFeatureMainViewLoadComplete")
            .on("shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:")
            .on("shopFeatureMainView:selectSeeAll:");
    }
    Ref<ShopFeatureMainView> page(const std::string& code) {
        auto made = ui::ResourceRegistry::shared().instantiate<ShopFeatureMainView>(
            "ShopFeatureStoryboard", "ShopFeatureMain");
        made->setFeatureCode(code);
        made->setDelegate(delegate);
        return made;
    }
    // The home feature page in the window, shown, once it has loaded; null when it does not.
    Ref<ShopFeatureMainView> loadedHome(QWidget& window) {
        window.resize(1000, 900);
        window.show();
        auto home = page("0.feature_all");
        home->addToContainer(&window);
        return spinUntil([&] { return loads() == 1; }, 20000) ? home : nullptr;
    }
    size_t widgetCalls() const { return store.requestsForMethod("GetWidgetInfo").size(); }
    size_t loads() const { return delegate->count("shopFeatureMainViewLoadComplete"); }

    Ref<DynamicObject> delegate = DynamicObject::make();
};

// A page that shows loads again when another member signs in or the member signs out; one that
// does not show loads when it shows again.
TEST_F(FeaturePageTest, AShownPageLoadsAgainWhenTheMemberChanges) {
    QWidget window;
    auto home = loadedHome(window);
    ASSERT_TRUE(home);
    ASSERT_TRUE(signIn("somchai@example.com", "rak-an-nangsue"));
    EXPECT_TRUE(spinUntil([&] { return loads() == 2; }, 20000));
    EXPECT_EQ(widgetCalls(), 2u);

    home->removeFromContainer();
    const size_t started = delegate->count("shopFeatureMainViewStartDownloading");
    context->signOutRegisteredUser();
    ASSERT_TRUE(context->activeUserContext()->isDefault());
    EXPECT_EQ(delegate->count("shopFeatureMainViewStartDownloading"), started);
}

TEST_F(FeaturePageTest, RowsInPageOrderBannersOnScreenClicksReportedReloadOnReturnOnly) {
    QWidget window;
    auto home = loadedHome(window);
    ASSERT_TRUE(home);
    EXPECT_EQ(delegate->count("shopFeatureMainViewStartDownloading"), 1u);
    EXPECT_EQ(widgetCalls(), 1u);

    // Served as item row, ad banners, banner strip, ad banners: shown ad banners first.
    std::vector<std::string> ids;
    for (const auto& row : home->shopGroupItems())
        ids.push_back(row->Id_.value_or(""));
    EXPECT_EQ(ids, (std::vector<std::string>{"0.feature_all.banner", "0.feature_all.banner2",
                                             "0.feature_all.books", "0.feature_all.strip"}));
    ui::TableView& table = *home->mainTableView;
    std::vector<int> heights;
    for (int row = 0; row < table.numberOfRows(); ++row)
        heights.push_back(table.rectOfRow(row).height());
    EXPECT_EQ(heights, (std::vector<int>{250, 250, 250, 120}));
    table.selectRow(0);
    EXPECT_EQ(table.selectedRow(), -1);

    // The first ad banner: three slides, its picture on screen once loaded.
    auto banners = std::dynamic_pointer_cast<FeatureAdBannerView>(home->rowControllerAt(0));
    ASSERT_TRUE(banners);
    ASSERT_EQ(banners->slideControllers().size(), 3u);
    MIHSliderView& slider = *banners->mihSliderView();
    slider.setScheduledTransition(false);
    ui::finishSubviewTransition(slider.contentView());
    auto slide = std::dynamic_pointer_cast<FeatureAdBannerItemView>(slider.displayedSlide());
    ASSERT_TRUE(slide);
    ASSERT_TRUE(spinUntil(
        [&] { return slide->coverImageView()->image().size() == QSize(760, 250); }, 15000));
    spin(50);
    QLabel* picture = slide->adBannerCoverImageView;
    const QPoint middle = picture->rect().center();
    const QImage grabbed = home->view()->grab().toImage();
    const QImage expected = slide->coverImageView()->image().scaled(picture->size());
    const QPoint at = picture->mapTo(home->view(), middle);
    EXPECT_TRUE(near(grabbed.pixel(at), expected.pixel(middle)))
        << std::hex << grabbed.pixel(at) << " " << expected.pixel(middle);
    // Made 760 points wide before the page's table gives the row its width, the banner takes
    // the row's width and follows the window, its dots centred under it.
    const auto bannerWidth = [&]() -> int {
        const int width = slider.view()->width();
        const QRect dots = slider.dotsControl()->view()->geometry();
        const bool fills = slider.contentView()->width() == width &&
                           slide->view()->width() == width && picture->width() == width &&
                           dots.x() == qRound((width - (22 * 3 + 15) + 22) / 2.0);
        return fills ? width : 0;
    };
    const int firstWidth = bannerWidth();
    EXPECT_GT(firstWidth, 900);
    window.resize(1200, 900);
    EXPECT_TRUE(spinUntil([&] { return bannerWidth() == firstWidth + 200; }, memberWait(2000)))
        << slider.view()->width();
    window.resize(1000, 900);
    EXPECT_TRUE(spinUntil([&] { return bannerWidth() == firstWidth; }, memberWait(2000)));

    // A banner reports no header group, a cover its row, see-all the row.
    const std::string select = "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:";
    slide->testButton->click();
    auto items = std::dynamic_pointer_cast<FeatureGroupItemView>(home->rowControllerAt(2));
    auto strip = std::dynamic_pointer_cast<FeatureBannerGroupView>(home->rowControllerAt(3));
    ASSERT_TRUE(items && strip);
    auto cover = std::dynamic_pointer_cast<BookCoverCollectionCellView>(
        items->collectionView->itemAtIndex(1));
    ASSERT_TRUE(cover);
    // With every trace group off, the click's console lines reach the system log, not the
    // terminal: the cell's, then the row's.
    const auto written =
        testing_support::writtenWithTracesOff([&] { cover->actionButton->click(); });
    EXPECT_EQ(written.systemLog, (std::vector<std::string>{"double click in the collectionItem",
                                                           "Double clicked on icon: ShopInfo"}));
    EXPECT_EQ(written.onTerminal("collectionItem") + written.onTerminal("ShopInfo"), 0u);
    auto stripCell = std::dynamic_pointer_cast<FeatureBannerGroupCollectionCellView>(
        strip->collectionView->itemAtIndex(0));
    ASSERT_TRUE(stripCell);
    const auto bannerWritten =
        testing_support::writtenWithTracesOff([&] { stripCell->banner_Click(nullptr); });
    EXPECT_EQ(bannerWritten.systemLog,
              std::vector<std::string>{"double click in the collectionItem"});
    EXPECT_EQ(bannerWritten.onTerminal("collectionItem"), 0u);
    items->seeAllButton->click();
    ASSERT_EQ(delegate->count(select), 3u);
    EXPECT_EQ(groupArgument(*delegate, select, 0, 1), slide->shopGroupInfo());
    EXPECT_FALSE(groupArgument(*delegate, select, 0, 2));
    // Without a group, the detail's header is the kind word alone.
    EXPECT_EQ(StoreScreenContainer::headerTitle(true, groupArgument(*delegate, select, 0, 2)),
              "หนังสือ");
    EXPECT_EQ(groupArgument(*delegate, select, 1, 1), items->shopGroupItemArray().at(1));
    EXPECT_EQ(groupArgument(*delegate, select, 1, 2), home->shopGroupItems()[2]);
    EXPECT_EQ(groupArgument(*delegate, select, 2, 1), strip->shopBannerGroupArray().at(0));
    EXPECT_FALSE(groupArgument(*delegate, select, 2, 2));
    EXPECT_EQ(groupArgument(*delegate, "shopFeatureMainView:selectSeeAll:", 0, 1),
              home->shopGroupItems()[2]);

    // Minimised and restored: no load. Away and back: one more.
    window.showMinimized();
    spin(100);
    window.showNormal();
    spin(200);
    EXPECT_EQ(widgetCalls(), 1u);
    home->removeFromContainer();
    home->addToContainer(&window);
    ASSERT_TRUE(spinUntil([&] { return loads() == 2; }, 20000));
    EXPECT_EQ(widgetCalls(), 2u);
    EXPECT_EQ(delegate->count("shopFeatureMainViewStartDownloading"), 2u);

    // A failed load keeps the rows shown.
    store.setFault("GetWidgetInfo", demo::Fault{});
    const auto shownRows = home->shopGroupItems();
    home->removeFromContainer();
    home->addToContainer(&window);
    ASSERT_TRUE(spinUntil([&] { return loads() == 3; }, 20000));
    EXPECT_EQ(home->shopGroupItems(), shownRows);
    EXPECT_EQ(table.numberOfRows(), 4);
    store.clearFaults();

    // A hostile page: rows that are no records, Types as text, missing titles and an unknown
    // Type make rows without content, or 24 points of nothing.
    auto hostile = page("0.feature_hostile");
    home->removeFromContainer();
    hostile->addToContainer(&window);
    ASSERT_TRUE(spinUntil([&] { return loads() == 4; }, 20000));
    ui::TableView& odd = *hostile->mainTableView;
    ASSERT_GT(odd.numberOfRows(), 0);
    bool unknownRow = false;
    for (int row = 0; row < odd.numberOfRows(); ++row) {
        const int32_t type = hostile->shopGroupItems()[static_cast<size_t>(row)]->Type_;
        if (type < 1 || type > 3) {
            unknownRow = true;
            EXPECT_EQ(odd.rectOfRow(row).height(), 24);
            EXPECT_FALSE(odd.viewAtRow(row));
        }
    }
    EXPECT_TRUE(unknownRow);
    hostile->removeFromContainer();
}

}  // namespace
