#pragma once
// CategoryMainViewController: the container of the category page, made under ("",
// "CategoryMainViewController"). Its main view ("", "CategoryMainView") shows the menu and tiles
// of the store group "0.categories", asked when the page is first built and not again once a menu
// has come (a visit while the menu is still empty asks again). A tile without sub-groups opens
// the group item list of that category; a tile with sub-groups shows them under "สำนักพิมพ์". From
// the list the member goes to the item detail (back returns to the list) and from a magazine's
// detail to its back issues. No preview popup; a web link takes the overlay away.
#include <string>
#include <vector>

#include "app/store/StoreResources.h"
#include "app/store/common/StoreScreenContainer.h"
#include "platform/core/Value.h"

class VnRequestContext;
class VnRequestResult;
namespace ui {
class ResourceRegistry;
}

class CategoryMainViewController : public StoreScreenContainer {
    PLAT_CLASS(CategoryMainViewController)
  public:
    static constexpr const char* kNibName = StoreScreens::kCategory.identifier;
    static constexpr const char* kMainViewNib = "CategoryMainView";
    static constexpr const char* kCategoriesCode = "0.categories";
    using GroupList = std::vector<Ref<VnShopGroupInfo>>;

    CategoryMainViewController();
    static void registerResources(ui::ResourceRegistry& registry);

    void viewWillAppear() override;
    // The category main view, and the group item list.
    void showCategoryMainView() { showMainChild(); }
    void showShopCategoryMainView() { StoreScreenContainer::showCategoryMainView(); }
    const Ref<plat::Object>& categoryMainView() const { return mainChild(); }
    const Ref<plat::Object>& shopBackIssueMainView() const { return shopBackIssueView(); }

    // The menu request and its answer.
    void updateGroupCategory();
    void groupCategoryUpdate_request_didFinishWithResult(const Ref<VnRequestContext>& request,
                                                         const Ref<VnRequestResult>& result);
    void cancelLoading();
    const GroupList& groupMenus() const { return groupMenus_; }
    const Ref<VnRequestContext>& reqGroupCategory() const { return reqGroupCategory_; }

    // From the main view.
    void categoryMainView_selectCategory(Ref<plat::Object> sender, Ref<VnShopGroupInfo> category);
    void categoryMainView_selectMenuCategory(Ref<plat::Object>, Ref<VnShopGroupInfo>) {}
    void categoryMainView_backToTopCategory(Ref<plat::Object> sender, std::string unused);

    void generateMenu(plat::Value) {}
    static Ref<VnShopGroupInfo> newShopGroupInfo(const std::string& title,
                                                 const std::string& description,
                                                 const std::string& imageUrl, int32_t type);
    // Kept for the screen's owner; nothing reads it.
    plat::Value categoryArray;

  protected:
    std::unique_ptr<QWidget> loadView() override;
    Ref<plat::Object> makeMainChild() override;
    Ref<plat::Object> childReplacedByDetail() const override { return shopCategoryMainView(); }
    void showAfterDetailBack() override { showShopCategoryMainView(); }
    bool hasPreviewPopup() const override { return false; }

  private:
    Ref<VnRequestContext> reqGroupCategory_;
    GroupList groupMenus_;
};
