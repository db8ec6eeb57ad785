#pragma once
// TopChartListViewController: one column of the top chart (books, magazines or newspapers): a
// title, a category popup and the ranked paid chart of the chosen category, loaded page by page
// while the member scrolls. The column wakes when its view loads: it asks once for the category
// group "0.categories_top", takes its own section (by PredefinedId and typeProduct), puts "all"
// ("ทั้งหมด") before the categories and loads the chart of "all" (topSellerCodePaid); any other
// category's chart is "<Id>.paid". A click on an entry goes to the delegate
// (TopChartListViewDelegate) with the category chosen in the popup.
//
// A next page asks for numberLimitLoadOfItem entries from the number loaded; only one runs at a
// time, and none while a first page runs. A first page cancels what runs before it.
#include <QPointer>
#include <optional>
#include <string>
#include <vector>

#include "platform_ui/ViewController.h"

class QComboBox;
class QLabel;
class QAbstractScrollArea;
class VnDomainUpdatingRequest;
class VnRequestResult;
class VnShopGroupInfo;
namespace ui {
class CollectionView;
class ResourceRegistry;
}  // namespace ui

using ShopGroupList = std::vector<Ref<VnShopGroupInfo>>;

class TopChartListViewController : public ui::ViewController {
    PLAT_CLASS(TopChartListViewController)
  public:
    static constexpr const char* kNibName = "TopChartListViewController";
    static constexpr const char* kCategoryGroupCode = "0.categories_top";
    static constexpr const char* kAllId = "all";
    static constexpr const char* kAllTitle = "ทั้งหมด";

    TopChartListViewController();
    ~TopChartListViewController() override;
    static void registerResources(ui::ResourceRegistry& registry);

    // The column's kind and its title, by the section it takes: "Books" ("0.categories.books",
    // "หนังสือ"), "Magazines" (".magazines", "นิตยสาร"), "Newspapers" (".newspapers",
    // "หนังสือพิมพ์"). Null when the pair is none of these.
    static const char* columnTitle(const std::string& predefinedId, const std::string& typeProduct);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    std::string typeProduct;
    std::string topSellerCodePaid;
    std::string topSellerCodeFree;  // never asked for
    const std::optional<std::string>& currentCode() const { return currentCode_; }

    const ShopGroupList& categoryArrary() const { return categoryArrary_; }
    // The popup's entries: "all" first, then the categories by OrderWidget (0 last).
    void setCategoryArrary(const ShopGroupList& categories);
    const ShopGroupList& shopGroupArray() const { return shopGroupArray_; }
    const ShopGroupList& groupTopPaid() const { return groupTopPaid_; }
    const ShopGroupList& groupTopFree() const { return groupTopFree_; }  // never filled
    const Ref<VnDomainUpdatingRequest>& reqGroupTopSeller() const { return reqGroupTopSeller_; }
    // Whether a next page runs; whether a first page runs.
    bool isUpdateTopSeller() const { return isUpdateTopSeller_; }
    bool isLoadingFirstPage() const { return loadingFirstPage_; }
    // Whether the category group's request has answered, well or not.
    bool categoryAnswered() const { return categoryAnswered_; }

    void viewDidLoad() override;
    void viewDidAppear() override;
    void updateGroupCategory();
    void btnType_buttonClick(Ref<plat::Object> sender);
    void updateGroupTopSeller();
    void updateGroupTopSellerContinue();
    // Each bounds change of the grid: a next page when its end is in view.
    void scrollViewDidScroll();
    void adjustCategories() {}
    void topChartCollentionSelectShopGroupInfo(Ref<plat::Object> cell);
    void groupCategoryUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void groupTopSellerUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void groupTopSellerContinueUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);

    // Outlets.
    QPointer<QLabel> titleTextField;
    QPointer<ui::CollectionView> collentiionView;
    QPointer<QComboBox> catePopupButton;
    QPointer<QAbstractScrollArea> scrollView;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // The category chosen in the popup; null while the popup is empty.
    Ref<VnShopGroupInfo> selectedCategory() const;
    void showEntries(ShopGroupList entries);
    void dropChartRequest();

    WeakRef<plat::Object> delegate_;
    std::optional<std::string> currentCode_;
    ShopGroupList categoryArrary_;
    ShopGroupList shopGroupArray_;
    ShopGroupList groupTopPaid_;
    ShopGroupList groupTopFree_;
    Ref<VnDomainUpdatingRequest> reqGroupTopSeller_;
    Ref<VnDomainUpdatingRequest> categoryRequest_;
    bool isUpdateTopSeller_ = false;
    bool loadingFirstPage_ = false;
    // The category group's request has answered (a later showing may ask again).
    bool categoryAnswered_ = false;
    uint64_t boundsObservation_ = 0;
};
