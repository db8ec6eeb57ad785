#pragma once
// The messages the store's screens take, each declared once with its selector and its C++ types
// (plat::Message): the commands a screen is given by whoever shows it (the main window, a store
// container), and the delegate messages of the store's views, which their containers answer.
// Every message is optional: it is sent only to an object that answers it. Senders and
// receivers both use these declarations, so a wrong argument or a receiver of another signature
// fails to compile.
#include <string>
#include <vector>

#include "platform/core/Message.h"
#include "platform/core/Ref.h"

namespace plat {
class Object;
}
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnShopGroupInfo;

using StoreGroupList = std::vector<Ref<VnShopGroupInfo>>;

// ---- Commands a store screen takes ----
struct StoreScreenMessages {
    static constexpr plat::Message<void(const Ref<plat::Object>&)> kSetDelegate{"setDelegate:"};
    static constexpr plat::Message<void(std::string)> kSetFeatureCode{"setFeatureCode:"};
    static constexpr plat::Message<void(std::string)> kStartSearch{"startSearch:"};
    static constexpr plat::Message<void()> kCancelSearch{"cancelSearch"};
    // A container stops what it loads.
    static constexpr plat::Message<void()> kCancelLoading{"cancelLoading"};
    static constexpr plat::Message<void(Ref<VnMagazineInfo>)> kSetMagazineInfo{"setMagazineInfo:"};
    static constexpr plat::Message<void(Ref<VnMagazineIssueInfo>)> kSetMagazineIssueInfo{
        "setMagazineIssueInfo:"};
    static constexpr plat::Message<void(bool)> kSetIsBook{"setIsBook:"};
    static constexpr plat::Message<void(bool)> kSetIsMagazine{"setIsMagazine:"};
    static constexpr plat::Message<void(Ref<VnShopGroupInfo>)> kSetCurrentGroupInfo{
        "setCurrentGroupInfo:"};
    static constexpr plat::Message<void(std::string)> kSetHeaderTitle{"setHeaderTitle:"};
    static constexpr plat::Message<void(Ref<VnShopGroupInfo>)> kSetShopGroupInfo{
        "setShopGroupInfo:"};
    static constexpr plat::Message<void(std::string)> kSetCurrentCodeSort{"setCurrentCodeSort:"};
    static constexpr plat::Message<void(bool)> kSetIsShowSubWidget{"setIsShowSubWidget:"};
    static constexpr plat::Message<void(StoreGroupList)> kSetMenuArray{"setMenuArray:"};
    static constexpr plat::Message<void(std::string, bool)> kBrowseBookWidget{
        "browseBookWidget:isForceUpdate:"};
};

// ---- The item detail's delegate messages ----
struct ShopDetailMessages {
    using Sender = Ref<plat::Object>;
    static constexpr plat::Message<void()> kStartLoading{"shopDetailMainViewStartLoading"};
    static constexpr plat::Message<void()> kLoadComplete{"shopDetailMainViewLoadComplete"};
    static constexpr plat::Message<void()> kLoadDataInfoComplete{
        "shopDetailMainViewLoadDataInfoComplete"};
    static constexpr plat::Message<void(Sender, std::string)> kBackToTopView{
        "shopDetailMainView:backToTopView:"};
    static constexpr plat::Message<void(Sender, Ref<VnMagazineInfo>)> kSeeAllBackIssue{
        "shopDetailMainView:seeAllBackIssue:"};
    static constexpr plat::Message<void(Sender, Ref<VnMagazineIssueInfo>)> kPreviewIssue{
        "shopDetailMainView:previewMagazineIssueInfo:"};

    // The detail row's and the by-author row's, answered by the detail itself.
    static constexpr plat::Message<void()> kInfoItemStartLoading{"shopDetailInfoItemStartLoading"};
    static constexpr plat::Message<void()> kInfoItemLoadComplete{"shopDetailInfoItemLoadComplete"};
    static constexpr plat::Message<void(Sender, Ref<VnMagazineIssueInfo>)> kInfoItemPreview{
        "shopDetailInfoItem:previewMagazineIssueInfo:"};
    static constexpr plat::Message<void(Sender, std::string)> kByAuthorSeeAll{
        "shopDetailByAuthorView:selectSeeAll:"};
    static constexpr plat::Message<void(Sender, Ref<VnMagazineIssueInfo>)> kByAuthorSelectIssue{
        "shopDetailByAuthorView:selectMagazineIssueInfo:"};

    static constexpr plat::Message<void()> kPreviewPopupClose{"previewPopupMainViewClose"};
};

// ---- The lists' delegate messages ----
struct StoreListMessages {
    using Sender = Ref<plat::Object>;
    using Group = Ref<VnShopGroupInfo>;
    // A list entry chosen, with the header group it was listed under.
    using Selection = plat::Message<void(Sender, Group, Group)>;

    static constexpr Selection kShopCategorySelect{
        "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:"};
    static constexpr plat::Message<void(Sender, std::string)> kShopCategoryBack{
        "shopCategoryMainView:backToTopView:"};
    static constexpr plat::Message<void(Ref<plat::Object>)> kShopCategoryMenuSelect{
        "shopCategoryMenuCollectionCellSelect:"};
    static constexpr plat::Message<void(Sender, Ref<VnMagazineIssueInfo>)> kBackIssueSelect{
        "shopBackIssueView:selectMagazineIssueInfo:"};
    static constexpr plat::Message<void(Sender, std::string)> kBackIssueBack{
        "shopBackIssueView:backFromBackIssueView:"};

    static constexpr plat::Message<void(Sender, Group)> kCategorySelect{
        "categoryMainView:selectCategory:"};
    static constexpr plat::Message<void(Sender, Group)> kCategorySelectMenu{
        "categoryMainView:selectMenuCategory:"};
    static constexpr plat::Message<void(Sender, std::string)> kCategoryBackToTop{
        "categoryMainView:backToTopCategory:"};
    static constexpr plat::Message<void(Ref<plat::Object>)> kCategoryMenuCellSelect{
        "categoryMenuCellSelectShopGroupInfo:"};

    static constexpr plat::Message<void()> kFeatureStartDownloading{
        "shopFeatureMainViewStartDownloading"};
    static constexpr plat::Message<void()> kFeatureLoadComplete{"shopFeatureMainViewLoadComplete"};
    static constexpr Selection kFeatureSelect{
        "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:"};
    static constexpr plat::Message<void(Sender, Group)> kFeatureSeeAll{
        "shopFeatureMainView:selectSeeAll:"};
    static constexpr plat::Message<void(Sender, Group)> kFeatureBannerGroupSelect{
        "featureBannerGroupView:selectShopGroupInfo:"};
    static constexpr plat::Message<void(Sender, Group)> kFeatureAdBannerSelect{
        "featureAdBannerView:selectShopGroupInfo:"};
    static constexpr plat::Message<void(Sender, Group)> kFeatureAdBannerItemSelect{
        "featureAdBannerItemView:selectBanncerShopGroupInfo:"};
    static constexpr Selection kFeatureGroupItemSelect{
        "featureGroupItemView:selectShopGroupInfo:withHeaderGroupInfo:"};
    static constexpr plat::Message<void(Sender, Group)> kFeatureGroupItemSeeAll{
        "featureGroupItemView:selectSeeAll:"};

    static constexpr Selection kTopChartSelect{
        "topChartMainView:selectShopGroupInfo:withHeaderGroupInfo:"};
    static constexpr Selection kTopChartListSelect{
        "topChartListView:selectShopGroupInfo:withHeaderGroupInfo:"};

    static constexpr plat::Message<void()> kSearchStartLoading{"searchMainViewStartLoading"};
    static constexpr plat::Message<void()> kSearchLoadComplete{"searchMainViewLoadComplete"};
    static constexpr plat::Message<void(Sender, Ref<plat::Object>)> kSearchSelectMagazine{
        "searchMainView:selectMagazineInfo:"};
    static constexpr plat::Message<void(Sender, Ref<plat::Object>)> kSearchSelectBookIssue{
        "searchMainView:selectBookIssueInfo:"};

    static constexpr plat::Message<void()> kBrowseStartLoading{"browseMainViewStartLoading"};
    static constexpr plat::Message<void()> kBrowseLoadComplete{"browseMainViewLoadComplete"};
    static constexpr Selection kBrowseSelect{
        "browseMainView:selectShopGroupInfo:withHeaderGroupInfo:"};
    static constexpr plat::Message<void()> kBrowseSubStartLoading{"browseSubViewStartLoading"};
    static constexpr Selection kBrowseSubSelect{
        "browseSubView:selectShopGroupInfo:withHeaderGroupInfo:"};
    static constexpr plat::Message<void()> kBrowseSubLoadComplete{"browseSubViewLoadComplete"};
    static constexpr plat::Message<void()> kBrowseListContinue{"browseListView_continueEvent"};
    static constexpr Selection kBrowseListSelect{
        "browseListView:selectShopGroupInfo:withHeaderGroupInfo:"};

    // A grid cell chosen: the cell, sent to its grid's delegate.
    using CellSelection = plat::Message<void(Ref<plat::Object>)>;
    static constexpr CellSelection kBookCoverCellSelect{"bookCoverCollectionCellSelect:"};
    static constexpr CellSelection kBookIssueItemSelect{"bookIssueCollectionItemViewSelect:"};
    static constexpr CellSelection kCategoryCellSelect{"categoryCollectionCellSelected:"};
    static constexpr CellSelection kBannerGroupCellSelect{
        "bannerGroupCollectionSelectShopGroupInfo:"};
    static constexpr CellSelection kTopChartCellSelect{"topChartCollentionSelectShopGroupInfo:"};
};
