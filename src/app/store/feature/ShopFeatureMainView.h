#pragma once
// ShopFeatureMainView: the content of a feature page, made under ("ShopFeatureStoryboard",
// "ShopFeatureMain"): a table of rows, one per widget of the page's feature group, ad banners
// first and the rest in the service's order. Each time it is shown (not when its window is
// restored) it loads its feature group again, one load at a time. A failed load keeps the rows
// shown. The delegate (the container, not retained) hears, when it answers them:
//   shopFeatureMainViewStartDownloading, shopFeatureMainViewLoadComplete (whatever the outcome),
//   shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo: (view, entry, the row's record
//   for a cover, null for a banner), shopFeatureMainView:selectSeeAll: (view, row record).
#include <QPointer>
#include <map>
#include <string>
#include <vector>

#include "platform_ui/ViewController.h"

class VnRequestContext;
class VnRequestResult;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
class TableView;
}  // namespace ui

class ShopFeatureMainView : public ui::ViewController {
    PLAT_CLASS(ShopFeatureMainView)
  public:
    static constexpr const char* kStoryboard = "ShopFeatureStoryboard";
    static constexpr const char* kIdentifier = "ShopFeatureMain";
    // The height of a row whose Type has no view.
    static constexpr int kUnknownRowHeight = 24;

    // Registers the page and the scenes of its rows.
    static void registerResources(ui::ResourceRegistry& registry);

    const std::string& featureCode() const { return featureCode_; }
    void setFeatureCode(std::string code) { featureCode_ = std::move(code); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void viewDidAppear() override;
    void requestGroupInfo(const std::string& groupCode, bool forceUpdate);
    void requestGroupInfoFinished(Ref<plat::Object> request, Ref<VnRequestResult> result);
    // Cancels and drops the load in progress.
    void cancelSelector();
    // Another member signed in, or the member signed out: a page that shows loads again (the
    // load of the member who left ends without rows).
    void bookStoreContextActiveUserContextDidChange(Ref<plat::Object> context);

    const Ref<VnShopGroupInfo>& shopGroupInfo() const { return shopGroupInfo_; }
    const std::vector<Ref<VnShopGroupInfo>>& shopGroupItems() const { return shopGroupItems_; }
    // Ad banners (Type 1) first, then the other rows, each in the given order.
    static std::vector<Ref<VnShopGroupInfo>> rowsInDisplayOrder(
        const std::vector<Ref<VnShopGroupInfo>>& rows);
    static int heightOfRowType(int32_t type);
    // A new record with those fields; nothing uses it.
    static Ref<VnShopGroupInfo> newShopGroupInfo(const std::string& title,
                                                 const std::string& description,
                                                 const std::string& imageUrl, int32_t type);

    // The rows' messages.
    void featureAdBannerViewSelect(Ref<plat::Object> row, Ref<VnShopGroupInfo> banner);
    void featureBannerGroupViewSelect(Ref<plat::Object> row, Ref<VnShopGroupInfo> banner);
    void featureGroupItemViewSelect(Ref<plat::Object> row, Ref<VnShopGroupInfo> entry,
                                    Ref<VnShopGroupInfo> header);
    void featureGroupItemViewSeeAll(Ref<plat::Object> row, Ref<VnShopGroupInfo> record);

    // Outlets.
    QPointer<ui::TableView> mainTableView;
    // The row controller whose view is the row's view on screen (null otherwise).
    Ref<ui::ViewController> rowControllerAt(int row) const;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    QWidget* viewForRow(int row);
    void selectEntry(const Ref<VnShopGroupInfo>& entry, const Ref<VnShopGroupInfo>& header);

    std::string featureCode_;
    WeakRef<plat::Object> delegate_;
    Ref<VnShopGroupInfo> shopGroupInfo_;
    std::vector<Ref<VnShopGroupInfo>> shopGroupItems_;
    Ref<VnRequestContext> request_;
    // The row controllers, by the view the table shows and reuses.
    std::map<const QWidget*, Ref<ui::ViewController>> rowControllers_;
};
