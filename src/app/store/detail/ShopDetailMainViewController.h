#pragma once
// ShopDetailMainViewController: the item detail screen, made under ("ShopDetailStoryboard",
// "ShopDetailMainView"). One catalogue item (a book, or a magazine issue with its magazine) as a
// table of rows: information with the lending actions, the author's other books or the
// magazine's back issues, the summary and the technical description. A container gives it the
// selected entry, whose link it resolves through its own router ("", "UriDirect"), or the
// records directly. The delegate (the container, not retained) hears, when it answers them:
//   shopDetailMainViewStartLoading, shopDetailMainViewLoadComplete (the row's loading),
//   shopDetailMainViewLoadDataInfoComplete (the entry's records have arrived),
//   shopDetailMainView:backToTopView: (screen, ""), shopDetailMainView:seeAllBackIssue:
//   (screen, magazine), shopDetailMainView:previewMagazineIssueInfo: (screen, item).
// When another member signs in or the member signs out, the screen shows the item for the member
// now signed in, as when it is opened anew, and a loading the last member's action left over it
// ends. When the library of the member signed in is updated, the information row is filled
// from it again.
#include <QPointer>
#include <string>
#include <vector>

#include "app/services/LinkRouting.h"
#include "app/store/StoreResources.h"
#include "app/store/detail/DetailLoading.h"
#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class ShopDetailAboutInfoView;
class ShopDetailByAuthorView;
class ShopDetailDescriptionView;
class ShopDetailInfoItemView;
class ShopReviewMainView;
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
class TableView;
}  // namespace ui

class ShopDetailMainViewController : public ui::ViewController, public DetailLoading {
    PLAT_CLASS(ShopDetailMainViewController)
  public:
    static constexpr const char* kStoryboard = StoreScreens::kDetail.storyboard;
    static constexpr const char* kIdentifier = StoreScreens::kDetail.identifier;

    static void registerResources(ui::ResourceRegistry& registry);

    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    void setMagazineInfo(Ref<VnMagazineInfo> magazine) { magazineInfo_ = std::move(magazine); }
    void setMagazineIssueInfo(Ref<VnMagazineIssueInfo> item);
    void setCurrentGroupInfo(Ref<VnShopGroupInfo> entry);
    void setIsBook(bool isBook) { isBook_ = isBook; }
    void setHeaderTitle(std::string title);
    const Ref<VnMagazineInfo>& magazineInfo() const { return magazineInfo_; }
    const Ref<VnMagazineIssueInfo>& magazineIssueInfo() const { return magazineIssueInfo_; }
    const Ref<VnShopGroupInfo>& currentGroupInfo() const { return currentGroupInfo_; }
    bool isBook() const { return isBook_; }
    const std::string& headerTitle() const { return headerTitle_; }

    void viewDidLoad() override;
    void viewWillAppear() override;
    void backButton_Click(Ref<plat::Object> sender);
    void DirectUriWithLink(std::string link);
    void DirectUri(std::string url);

    // The information row's, the author row's and the router's messages.
    void shopDetailInfoItemStartLoading();
    void shopDetailInfoItemLoadComplete();
    void shopDetailInfoItemPreview(Ref<plat::Object> row, Ref<VnMagazineIssueInfo> item);
    void shopDetailByAuthorViewSelectSeeAll(Ref<plat::Object> row, std::string);
    void shopDetailByAuthorViewSelectItem(Ref<plat::Object> row, Ref<VnMagazineIssueInfo> item);
    void webLinkByMagazineInfo(Ref<plat::Object> router, Ref<VnMagazineInfo> magazine);
    void webLinkByIssue(Ref<plat::Object> router, Ref<VnMagazineIssueInfo> item);
    // The router found no records for the entry: the loading ends.
    void linkLoadFailed(Ref<plat::Object> router);
    // The store context's: another member signed in, or the member signed out.
    void bookStoreContextActiveUserContextDidChange(Ref<plat::Object> context);
    // The stored library of the member signed in has been updated: the information row is filled
    // from it again.
    void memberLibraryDidUpdate();

    uint64_t loadingMark() const override { return loadingMark_; }

    // Table answers.
    int numberOfRows() const { return static_cast<int>(rows_.size()); }
    static int heightOfRowNamed(const std::string& name);

    // Outlets and row views.
    QPointer<QLabel> titleTextField;
    QPointer<QPushButton> backButton;
    QPointer<ui::TableView> mainTableView;
    QPointer<ShopDetailInfoItemView> detailInfoItemView;
    QPointer<ShopDetailAboutInfoView> aboutInfoView;
    QPointer<ShopDetailDescriptionView> descriptionVitew;
    QPointer<ShopReviewMainView> reviewMainView;
    const Ref<ShopDetailByAuthorView>& byAuthorView() const { return byAuthorView_; }
    const Ref<plat::Object>& urlDirect() const { return urlDirect_.object(); }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    QWidget* viewForRow(int row);
    void reloadTable();
    // What shows from now on (another item, another member) is not what the late end of an
    // earlier action would end: the loading mark moves on. Answers whether the row's loading
    // showed.
    bool leaveLoadingsBehind();

    WeakRef<plat::Object> delegate_;
    Ref<VnMagazineInfo> magazineInfo_;
    Ref<VnMagazineIssueInfo> magazineIssueInfo_;
    Ref<VnShopGroupInfo> currentGroupInfo_;
    bool isBook_ = false;
    std::string headerTitle_;
    Ref<ShopDetailByAuthorView> byAuthorView_;
    LinkRouter urlDirect_;
    std::vector<std::string> rows_;
    uint64_t loadingMark_ = 0;
    // Whether the information row's loading shows (begun, not yet ended).
    bool rowLoadingShown_ = false;
};
