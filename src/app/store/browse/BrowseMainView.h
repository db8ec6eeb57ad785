#pragma once
// BrowseMainView: the browse screen's main view, made under ("", "BrowseMainView"): two tabs,
// books and magazines, each with a pop-up choosing what it lists (books by author or publisher,
// magazines by title or publisher; the pop-up item with tag 1 is the publisher one), over the
// area showing one of four browse lists ("", "BrowseSubView"). Every tab click loads its list
// again; the lists keep what they show while hidden. The first show lists books by author.
//
// Its delegate (the container, not retained) hears "browseMainViewStartLoading",
// "browseMainViewLoadComplete" and "browseMainView:selectShopGroupInfo:withHeaderGroupInfo:".
#include <QPointer>
#include <string>

#include "platform/core/Value.h"
#include "platform_ui/ViewController.h"

class QComboBox;
class QLabel;
class QPushButton;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
}

class BrowseMainView : public ui::ViewController {
    PLAT_CLASS(BrowseMainView)
  public:
    static constexpr const char* kNibName = "BrowseMainView";
    // The browse groups of the four lists.
    static constexpr const char* kAuthorCode = "0.browse.author";
    static constexpr const char* kBookPublisherCode = "0.browse.publisher_book";
    static constexpr const char* kMagazineCode = "0.browse.magazine";
    static constexpr const char* kMagazinePublisherCode = "0.browse.publisher_magazine";
    static constexpr int kPublisherTag = 1;

    BrowseMainView();
    static void registerResources(ui::ResourceRegistry& registry);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void awakeFromNib() override;
    void viewDidLoad() override;

    void bookButton_Click(Ref<plat::Object> sender);
    void magazineButton_Click(Ref<plat::Object> sender);
    void bookPopUpButton_Click(Ref<plat::Object> sender);
    void magazinePopUpButton_Click(Ref<plat::Object> sender);
    void btnBorder();
    void bookSelected();
    void magazineSelected();
    void bookUnselected();
    void magazineUnselected();

    // From the browse lists.
    void browseSubViewStartLoading();
    void browseSubViewLoadComplete();
    void browseSubView_selectShopGroupInfo_withHeaderGroupInfo(Ref<plat::Object> sub,
                                                               Ref<VnShopGroupInfo> item,
                                                               Ref<VnShopGroupInfo> header);

    static Ref<VnShopGroupInfo> newShopGroupInfo(const std::string& title,
                                                 const std::string& description,
                                                 const std::string& imageUrl, int32_t type);

    const Ref<plat::Object>& browseBookSubView() const { return browseBookSubView_; }
    const Ref<plat::Object>& publisherBookSuvView() const { return publisherBookSuvView_; }
    const Ref<plat::Object>& browseMagazineSubView() const { return browseMagazineSubView_; }
    const Ref<plat::Object>& publisherMagSubView() const { return publisherMagSubView_; }
    // The browse list shown now.
    const Ref<plat::Object>& currentSubView() const { return currentSubView_; }
    bool isPublisherBook() const { return isPublisherBook_; }
    bool isPublisherMagazine() const { return isPublisherMagazine_; }
    // Kept for the screen's owner; nothing reads them.
    Ref<VnShopGroupInfo> currecntGroupInfo;
    plat::Value browseInfoList;

    // Outlets.
    QPointer<QWidget> browseSubMainView;
    QPointer<QPushButton> bookButton;
    QPointer<QPushButton> magazineButton;
    QPointer<QLabel> bookText;
    QPointer<QLabel> magazineText;
    QPointer<QComboBox> bookPopUpButton;
    QPointer<QComboBox> magazinePopUpButton;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // Shows the chosen list of a tab, loaded again.
    void showTab(bool books);
    Ref<plat::Object> makeSubView(bool magazine);

    WeakRef<plat::Object> delegate_;
    Ref<plat::Object> browseBookSubView_;
    Ref<plat::Object> publisherBookSuvView_;
    Ref<plat::Object> browseMagazineSubView_;
    Ref<plat::Object> publisherMagSubView_;
    Ref<plat::Object> currentSubView_;
    bool isPublisherBook_ = false;
    bool isPublisherMagazine_ = false;
};
