#pragma once
// ShopBackIssueViewController: every issue of one magazine as a grid of covers, newest first,
// made under ("", "ShopBackIssueViewController"). Given a magazine it shows the first issues the
// local cache holds at once, then the service's whole list, and asks for further pages of 48 from
// the number shown when the member scrolls to the end of the grid, one page at a time and only
// after the first reply. A failed reply keeps what is shown. The delegate (not retained) hears
//   "shopBackIssueView:selectMagazineIssueInfo:" (this list, the clicked cover's issue) and
//   "shopBackIssueView:backFromBackIssueView:"   (this list, "") from the back button.
// The logic needs no view: the grid is filled when the view is loaded.
#include <QPointer>
#include <memory>
#include <vector>

#include "platform_ui/ViewController.h"

class QPushButton;
class VnDomainUpdatingRequest;
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnRequestResult;
namespace ui {
class CollectionView;
class ResourceRegistry;
}  // namespace ui

class ShopBackIssueViewController : public ui::ViewController {
    PLAT_CLASS(ShopBackIssueViewController)
  public:
    using IssueList = std::vector<Ref<VnMagazineIssueInfo>>;
    static constexpr const char* kNibName = "ShopBackIssueViewController";
    // Cached issues shown before the first reply.
    static constexpr int kFirstLoadLimit = 60;

    ShopBackIssueViewController();
    ~ShopBackIssueViewController() override;
    static void registerResources(ui::ResourceRegistry& registry);

    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    // A magazine other than the one held (by identity) is kept and its list loaded afresh; the
    // same object again does nothing; none clears the magazine and asks nothing.
    void setMagazineInfo(Ref<VnMagazineInfo> magazine);
    const Ref<VnMagazineInfo>& magazineInfo() const { return magazineInfo_; }

    // The issues shown (one shared list: setting it redraws the grid).
    const std::shared_ptr<const IssueList>& magazineIssueArray() const { return shown_; }
    void setMagazineIssueArray(std::shared_ptr<const IssueList> issues);
    // Shows the issues ordered newest first.
    void reloadBackIssueView(IssueList issues);

    // Whether a next page may be asked for, and whether a request runs.
    bool isUpdateMagazineIssue() const { return moreAllowed_; }
    bool isRequestRunning() const { return request_ != nullptr; }

    // The grid's scroll view moved or changed size: at the end of the grid the next page is
    // asked for.
    void scrollViewDidScroll();
    void continueUpdateMagazineIssueinfoInfo(Ref<VnMagazineInfo> magazine);

    void bookCoverCollectionCellSelect(Ref<plat::Object> cell);
    void backButton_Click(Ref<plat::Object> sender);
    void magazineIssueInfoUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void magazineIssueInfoContinueUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);

    // Outlets.
    QPointer<ui::CollectionView> collectionView;
    QPointer<QPushButton> backButton;

  protected:
    std::unique_ptr<QWidget> loadView() override;
    void viewDidLoad() override;

  private:
    void requestBackIssueUpdate(const Ref<VnMagazineInfo>& magazine, int limit);
    void dropRequest();
    void fillGrid();

    WeakRef<plat::Object> delegate_;
    uint64_t boundsObserver_ = 0;
    Ref<VnMagazineInfo> magazineInfo_;
    std::shared_ptr<const IssueList> shown_ = std::make_shared<const IssueList>();
    Ref<VnDomainUpdatingRequest> request_;
    int limitLoadBackIssue_ = kFirstLoadLimit;
    bool moreAllowed_ = false;
};
