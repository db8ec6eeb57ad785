#pragma once
// The "ByAuthor" row of the item detail: a strip of covers related to the item, either the
// magazine's latest back issues (newest first, with a see-all button) or the author's other
// books (by their place in the service's list). It shows what the local cache holds at once and
// replaces it when the service brings new data. The delegate (the detail screen, not retained)
// hears "shopDetailByAuthorView:selectSeeAll:" (row, "") and
// "shopDetailByAuthorView:selectMagazineIssueInfo:" (row, the clicked cover's record).
//
// ShopDetailBackIssueCollectionItemView: one cover of the strip, made under
// ("ShopDetailStoryboard", "BackIssueCollectionCell"); a click reports it to the strip's delegate
// ("bookIssueCollectionItemViewSelect:").
#include <QPointer>
#include <memory>
#include <vector>

#include "platform_ui/CollectionView.h"
#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class QtImageView;
class VnDomainUpdatingRequest;
class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnRequestContext;
class VnRequestResult;
namespace ui {
class LayerView;
class ResourceRegistry;
}  // namespace ui

class ShopDetailBackIssueCollectionItemView : public ui::CollectionViewItem {
    PLAT_CLASS(ShopDetailBackIssueCollectionItemView)
  public:
    static constexpr int kWidth = 110, kHeight = 175;

    void viewDidAppear() override;
    void itemButton_Click(Ref<plat::Object> sender);
    Ref<VnMagazineIssueInfo> magazineInfo() const { return magazineInfo_; }
    void setMagazineInfo(Ref<VnMagazineIssueInfo> info) { magazineInfo_ = std::move(info); }

    QPointer<QLabel> issueNameTextField;
    QPointer<ui::LayerView> viewCover;
    QPointer<QPushButton> button;
    const Ref<QtImageView>& coverBookImageView() const { return cover_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    Ref<QtImageView> cover_;
    Ref<VnMagazineIssueInfo> magazineInfo_;
};

class ShopDetailByAuthorView : public ui::ViewController {
    PLAT_CLASS(ShopDetailByAuthorView)
  public:
    using IssueList = std::vector<Ref<VnMagazineIssueInfo>>;
    static constexpr const char* kIdentifier = "ByAuthor";
    static constexpr int kLoadLimit = 20;

    static void registerResources(ui::ResourceRegistry& registry);

    void awakeFromNib() override;
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    void setMagazineInfo(Ref<VnMagazineInfo> magazine);
    void setMagazineIssueInfo(Ref<VnMagazineIssueInfo> item);
    const Ref<VnMagazineInfo>& magazineInfo() const { return magazineInfo_; }
    const Ref<VnMagazineIssueInfo>& magazineIssueInfo() const { return magazineIssueInfo_; }
    // The covers shown (shared: a list shown again is the same list).
    const std::shared_ptr<const IssueList>& magazineIssueArray() const { return shown_; }

    void seeAllButton_Click(Ref<plat::Object> sender);
    void bookIssueCollectionItemViewSelect(Ref<plat::Object> item);
    void reloadBackIssueView(const IssueList& issues);
    void reloadAuthorIssueView(const IssueList& books);
    void magazineIssueInfoUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void bookAuthorIssueUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);

    QPointer<ui::CollectionView> collectionView;
    QPointer<QPushButton> seeAllButton;
    QPointer<QLabel> titleByAuthorTextField;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void requestBackIssueUpdate(const Ref<VnMagazineInfo>& magazine, int limit);
    void requestBookIssueWithAuthor(const std::string& author);
    void dropRequest();
    void show(IssueList list);

    WeakRef<plat::Object> delegate_;
    Ref<VnMagazineInfo> magazineInfo_;
    Ref<VnMagazineIssueInfo> magazineIssueInfo_;
    std::shared_ptr<const IssueList> shown_ = std::make_shared<const IssueList>();
    Ref<VnDomainUpdatingRequest> reqMagazineIssueInfo_;
    int limitLoadBackIssue_ = kLoadLimit;
};
