#pragma once
// StoreScreenContainer: what every toolbar page of the store is. It owns the screens of its page
// and shows one of them at a time in `mainView` (its main view, the item detail, the back issues
// or the group item list), lays the loading overlay ("", "HZLoading") in `loadingView` over the
// page while a screen loads, keeps the preview popup in `previewView`, and follows the links of
// the entries the member selects through the link router ("", "UriDirect") in code-only mode.
// Children, the overlay, the popup and the router are made by registry name and told what to do
// by message, so any object answering those messages serves.
//
// The base registers no callback: each container registers in its own method table exactly the
// callbacks it answers (senders ask respondsToSelector first) and settles the rest through the
// virtual choices below.
#include <QPointer>
#include <string>

#include "app/services/LinkRouting.h"
#include "app/store/StoreMessages.h"
#include "app/store/StoreResources.h"
#include "platform_ui/ViewController.h"

class VnMagazineInfo;
class VnMagazineIssueInfo;
class VnShopGroupInfo;

class StoreScreenContainer : public ui::ViewController {
    PLAT_CLASS(StoreScreenContainer)
  public:
    explicit StoreScreenContainer(std::string nibName = {});

    // Where the children come from.
    static constexpr const char* kDetailStoryboard = StoreScreens::kDetail.storyboard;
    static constexpr const char* kDetailIdentifier = StoreScreens::kDetail.identifier;
    static constexpr const char* kBackIssueNib = "ShopBackIssueViewController";
    static constexpr const char* kGroupListNib = "ShopCategoryMainViewController";
    static constexpr const char* kPreviewStoryboard = "PreviewPopupStoryboard";
    static constexpr const char* kPreviewIdentifier = "PreviewPopupMainView";

    // The detail's header: the kind word and the group's title ("หนังสือ / มาใหม่"); the kind
    // word alone when there is no group title (an entry chosen on a banner).
    static std::string headerTitle(bool isBook, const Ref<VnShopGroupInfo>& group);

    // The show operations: each makes its child when there is none, gives its view the bounds
    // of mainView and records it as the current child. None removes what was shown before.
    void showMainChild();
    void showDetailMainView();
    void showBackIssueMainView(Ref<VnMagazineInfo> magazine);
    void showCategoryMainView();

    void pushToShopDetail(bool isBook);
    void DirectUriWithLink(std::string link);
    void DirectUri(std::string url);

    void setOverlayShown(bool shown);
    bool isOverlayShown() const;
    bool isPreviewShown() const;

    // Outlets.
    QPointer<QWidget> mainView;
    QPointer<QWidget> loadingView;
    QPointer<QWidget> previewView;

    const Ref<plat::Object>& mainChild() const { return mainChild_; }
    const Ref<plat::Object>& shopDetailMainView() const { return detail_; }
    const Ref<plat::Object>& shopBackIssueView() const { return backIssues_; }
    const Ref<plat::Object>& shopCategoryMainView() const { return groupList_; }
    const Ref<plat::Object>& currentChild() const { return current_; }
    const Ref<plat::Object>& hzLoading() const { return hzLoading_; }
    const Ref<plat::Object>& previewPopupMainView() const { return previewPopup_; }
    const Ref<plat::Object>& urlDirect() const { return urlDirect_.object(); }
    const Ref<VnShopGroupInfo>& currentGroupInfo() const { return currentGroupInfo_; }
    const Ref<VnShopGroupInfo>& headerGroupInfo() const { return headerGroupInfo_; }
    void setCurrentGroupInfo(Ref<VnShopGroupInfo> entry) { currentGroupInfo_ = std::move(entry); }
    void setHeaderGroupInfo(Ref<VnShopGroupInfo> group) { headerGroupInfo_ = std::move(group); }

    // ---- Callbacks. A container registers those it answers under their selectors. ----
    void mainViewStartLoading() { setOverlayShown(true); }
    void mainViewLoadComplete() { setOverlayShown(false); }
    // An entry chosen on the main view or on the group item list, with the group it was shown in.
    void selectEntry(Ref<plat::Object> sender, Ref<VnShopGroupInfo> entry,
                     Ref<VnShopGroupInfo> header);
    void selectSeeAll(Ref<plat::Object> sender, Ref<VnShopGroupInfo> group);
    void groupListBack(Ref<plat::Object> sender, std::string unused);
    void detailStartLoading() { setOverlayShown(true); }
    void detailLoadComplete() { setOverlayShown(false); }
    void detailLoadDataInfoComplete();
    void detailSeeAllBackIssue(Ref<plat::Object> sender, Ref<VnMagazineInfo> magazine);
    void detailBack(Ref<plat::Object> sender, std::string unused);
    void detailPreview(Ref<plat::Object> sender, Ref<VnMagazineIssueInfo> issue);
    void backIssueBack(Ref<plat::Object> sender, std::string unused);
    void backIssueSelect(Ref<plat::Object> sender, Ref<VnMagazineIssueInfo> issue);
    void routerBookCode(Ref<plat::Object> router, std::string code);
    void routerMagazineCode(Ref<plat::Object> router, std::string code);
    void routerIssueList(Ref<plat::Object> router, std::string groupCode);
    void routerFeatured(Ref<plat::Object> router, std::string groupCode);
    void routerWebLinkComplete(Ref<plat::Object> router);
    void loadingCancelClick(Ref<plat::Object> loading);
    void previewClose();

  protected:
    std::unique_ptr<QWidget> loadView() override;

    // ---- What each container settles for itself. ----
    // Its main view, made and set up (its delegate is set by the caller).
    virtual Ref<plat::Object> makeMainChild() = 0;
    // Whether a selection shows the overlay at once (else pushToShopDetail shows it).
    virtual bool overlayOnSelection() const { return true; }
    // Whether the item detail, once loaded, replaces the child shown last (else the main view).
    virtual bool detailReplacesCurrentChild() const { return true; }
    // The child that the loaded item detail replaces: as detailReplacesCurrentChild says, unless
    // a container replaces one fixed child of its own.
    virtual Ref<plat::Object> childReplacedByDetail() const;
    // Shows the child that the detail's back button returns to (the main view here).
    virtual void showAfterDetailBack() { showMainChild(); }
    // Whether the detail, the back issues and the group item list are released when left.
    virtual bool releasesLeftChildren() const { return true; }
    // Whether the loading area starts hidden.
    virtual bool overlayHiddenAtStart() const { return true; }
    // Whether the page has the preview popup.
    virtual bool hasPreviewPopup() const { return true; }

    // The item detail, made (with this container as delegate) when there is none; not shown.
    const Ref<plat::Object>& ensureDetail();
    // Takes a child's view out of the page; makes the group item list when there is none.
    static void removeView(const Ref<plat::Object>& child);
    void makeGroupList();

  private:
    Ref<plat::Object> make(const std::string& storyboard, const std::string& identifier);
    void show(const Ref<plat::Object>& child);

    Ref<plat::Object> mainChild_;
    Ref<plat::Object> detail_;
    Ref<plat::Object> backIssues_;
    Ref<plat::Object> groupList_;
    Ref<plat::Object> current_;
    Ref<plat::Object> hzLoading_;
    Ref<plat::Object> previewPopup_;
    LinkRouter urlDirect_;
    Ref<VnShopGroupInfo> currentGroupInfo_;
    Ref<VnShopGroupInfo> headerGroupInfo_;
};

// A callback of the base as a method of a container's own class, for its own method table:
//   c.method(ShopDetailMessages::kStartLoading, ownMethod<V>(&V::detailStartLoading))
template <class Container, class R, class... A>
constexpr auto ownMethod(R (StoreScreenContainer::*method)(A...)) {
    return static_cast<R (Container::*)(A...)>(method);
}

// Enters in a container's own method table the callbacks that the pages with an item detail
// answer alike: the detail's loading reports, its see-all-back-issues and back, the back issues'
// back, and the router's book, magazine and issue codes.
template <class Container>
void addDetailCallbacks(plat::ClassBuilder<Container>& c) {
    using V = Container;
    c.method(ShopDetailMessages::kStartLoading, ownMethod<V>(&V::detailStartLoading))
        .method(ShopDetailMessages::kLoadComplete, ownMethod<V>(&V::detailLoadComplete))
        .method(ShopDetailMessages::kLoadDataInfoComplete,
                ownMethod<V>(&V::detailLoadDataInfoComplete))
        .method(ShopDetailMessages::kSeeAllBackIssue, ownMethod<V>(&V::detailSeeAllBackIssue))
        .method(ShopDetailMessages::kBackToTopView, ownMethod<V>(&V::detailBack))
        .method(StoreListMessages::kBackIssueBack, ownMethod<V>(&V::backIssueBack))
        .method(UriDirectDelegate::kBookCode, ownMethod<V>(&V::routerBookCode))
        .method(UriDirectDelegate::kMagazineCode, ownMethod<V>(&V::routerMagazineCode))
        .method(UriDirectDelegate::kMagazineIssueCode, ownMethod<V>(&V::routerMagazineCode));
}
