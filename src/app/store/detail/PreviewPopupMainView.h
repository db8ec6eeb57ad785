#pragma once
// The preview popup: small page images of a magazine issue, one cell per page in page order,
// made under ("PreviewPopupStoryboard", "PreviewPopupMainView"). Each cell asks the issue's
// context for its page's preview whenever it comes on screen, keeps only the newest request and
// cancels it when the cell goes; a preview that arrives for a page the cell no longer shows is
// dropped. The close button tells the delegate (the container, not retained)
// "previewPopupMainViewClose".
#include <QPointer>
#include <vector>

#include "platform_ui/CollectionView.h"
#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class VnMagazineIssueInfo;
class VnRequestContext;
namespace ui {
class ResourceRegistry;
}

// One page of the list.
class PreviewObjectItem : public plat::Object {
    PLAT_CLASS(PreviewObjectItem)
  public:
    Ref<VnMagazineIssueInfo> issueInfo;
    int32_t indexPage = 0;
};

class PreviewPopupItemView : public ui::CollectionViewItem {
    PLAT_CLASS(PreviewPopupItemView)
  public:
    static constexpr int kWidth = 120, kHeight = 160;
    ~PreviewPopupItemView() override;
    void viewDidAppear() override;
    QPointer<QLabel> imgPreview;
    const Ref<VnRequestContext>& request() const { return request_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    Ref<VnRequestContext> request_;
};

class PreviewPopupMainView : public ui::ViewController {
    PLAT_CLASS(PreviewPopupMainView)
  public:
    static constexpr const char* kStoryboard = "PreviewPopupStoryboard";
    static constexpr const char* kIdentifier = "PreviewPopupMainView";
    static constexpr const char* kItemIdentifier = "PreviewPopupItemView";
    static constexpr int32_t kMaxPages = 5000;

    static void registerResources(ui::ResourceRegistry& registry);

    void awakeFromNib() override;
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    void setMagazineIssueInfo(Ref<VnMagazineIssueInfo> issue);
    const Ref<VnMagazineIssueInfo>& magazineIssueInfo() const { return magazineIssueInfo_; }
    const std::vector<Ref<PreviewObjectItem>>& items() const { return items_; }
    void closeButton_Click(Ref<plat::Object> sender);

    QPointer<ui::CollectionView> collectionView;
    QPointer<QPushButton> closeButton;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    WeakRef<plat::Object> delegate_;
    Ref<VnMagazineIssueInfo> magazineIssueInfo_;
    std::vector<Ref<PreviewObjectItem>> items_;
};
