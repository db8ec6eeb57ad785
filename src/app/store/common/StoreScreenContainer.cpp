#include "app/store/common/StoreScreenContainer.h"

#include <QGridLayout>

#include "app/services/LinkRouting.h"
#include "app/shell/ShellResources.h"
#include "app/store/StoreMessages.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(StoreScreenContainer, ui::ViewController, [](auto& c) {
    using V = StoreScreenContainer;
    c.method("showDetailMainView", &V::showDetailMainView)
        .method("showBackIssueMainView:", &V::showBackIssueMainView)
        .method("showCategoryMainView", &V::showCategoryMainView)
        .method("pushToShopDetail:", &V::pushToShopDetail)
        .method("DirectUriWithLink:", &V::DirectUriWithLink)
        .method("DirectUri:", &V::DirectUri);
})

StoreScreenContainer::StoreScreenContainer(std::string nibName)
    : ui::ViewController(std::move(nibName)) {}

namespace {

// Puts a controller's view into an area, filling it and following its size.
void fillArea(QWidget* area, const Ref<plat::Object>& controller) {
    auto viewController = std::dynamic_pointer_cast<ui::ViewController>(controller);
    if (!viewController || !area)
        return;
    QWidget* view = viewController->view();
    view->setParent(area);
    view->setGeometry(area->rect());
    ui::setAutoresizingMask(view, ui::ViewWidthSizable | ui::ViewHeightSizable);
    view->show();
}

}  // namespace

std::string StoreScreenContainer::headerTitle(bool isBook, const Ref<VnShopGroupInfo>& group) {
    std::string kind = isBook ? "หนังสือ" : "นิตยสาร";
    if (!group || !group->Title_ || group->Title_->empty())
        return kind;
    return kind + " / " + *group->Title_;
}

std::unique_ptr<QWidget> StoreScreenContainer::loadView() {
    // The scene: the content area under the loading area and the preview area, stacked in one
    // cell, so all three keep the page's size.
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 768);
    auto* layout = new QGridLayout(view.get());
    layout->setContentsMargins(0, 0, 0, 0);
    mainView = new QWidget(view.get());
    loadingView = new QWidget(view.get());
    previewView = new QWidget(view.get());
    for (QWidget* area : {mainView.data(), loadingView.data(), previewView.data()})
        layout->addWidget(area, 0, 0);
    loadingView->setHidden(overlayHiddenAtStart());
    previewView->setHidden(true);

    showMainChild();

    hzLoading_ = make(ShellScreens::kLoading.storyboard, ShellScreens::kLoading.identifier);
    fillArea(loadingView, hzLoading_);
    if (hasPreviewPopup()) {
        previewPopup_ = make(kPreviewStoryboard, kPreviewIdentifier);
        fillArea(previewView, previewPopup_);
    }
    return view;
}

Ref<plat::Object> StoreScreenContainer::make(const std::string& storyboard,
                                             const std::string& identifier) {
    auto child = ui::ResourceRegistry::shared().instantiateController(storyboard, identifier);
    plat::sendIfResponds(child, StoreScreenMessages::kSetDelegate, self());
    return child;
}

void StoreScreenContainer::show(const Ref<plat::Object>& child) {
    fillArea(mainView, child);
    current_ = child;
}

void StoreScreenContainer::removeView(const Ref<plat::Object>& child) {
    if (auto controller = std::dynamic_pointer_cast<ui::ViewController>(child);
        controller && controller->isViewLoaded()) {
        controller->view()->hide();
        controller->view()->setParent(nullptr);
    }
}

void StoreScreenContainer::showMainChild() {
    if (!mainChild_) {
        mainChild_ = makeMainChild();
        plat::sendIfResponds(mainChild_, StoreScreenMessages::kSetDelegate, self());
    }
    show(mainChild_);
}

const Ref<plat::Object>& StoreScreenContainer::ensureDetail() {
    if (!detail_)
        detail_ = make(kDetailStoryboard, kDetailIdentifier);
    return detail_;
}

void StoreScreenContainer::showDetailMainView() {
    show(ensureDetail());
}

void StoreScreenContainer::showBackIssueMainView(Ref<VnMagazineInfo> magazine) {
    if (!backIssues_)
        backIssues_ = make("", kBackIssueNib);
    plat::sendIfResponds(backIssues_, StoreScreenMessages::kSetMagazineInfo, std::move(magazine));
    show(backIssues_);
}

void StoreScreenContainer::makeGroupList() {
    if (!groupList_)
        groupList_ = make("", kGroupListNib);
}

void StoreScreenContainer::showCategoryMainView() {
    makeGroupList();
    show(groupList_);
}

void StoreScreenContainer::setOverlayShown(bool shown) {
    if (loadingView)
        loadingView->setHidden(!shown);
}

bool StoreScreenContainer::isOverlayShown() const {
    return loadingView && !loadingView->isHidden();
}

bool StoreScreenContainer::isPreviewShown() const {
    return previewView && !previewView->isHidden();
}

void StoreScreenContainer::pushToShopDetail(bool isBook) {
    ensureDetail();
    if (!overlayOnSelection())
        setOverlayShown(true);
    plat::sendIfResponds(detail_, StoreScreenMessages::kSetIsBook, isBook);
    plat::sendIfResponds(detail_, StoreScreenMessages::kSetCurrentGroupInfo, currentGroupInfo_);
    plat::sendIfResponds(detail_, StoreScreenMessages::kSetHeaderTitle,
                         headerTitle(isBook, headerGroupInfo_));
}

void StoreScreenContainer::DirectUriWithLink(std::string link) {
    DirectUri(std::move(link));
}

void StoreScreenContainer::DirectUri(std::string url) {
    if (!urlDirect_)
        urlDirect_ = LinkRouter::forDelegate(self());
    urlDirect_.cancel();
    urlDirect_.setCodeOnly(true);
    urlDirect_.follow(std::move(url));
}

void StoreScreenContainer::selectEntry(Ref<plat::Object>, Ref<VnShopGroupInfo> entry,
                                       Ref<VnShopGroupInfo> header) {
    if (overlayOnSelection())
        setOverlayShown(true);
    headerGroupInfo_ = std::move(header);
    currentGroupInfo_ = std::move(entry);
    DirectUriWithLink(currentGroupInfo_ ? currentGroupInfo_->LinkUrl_.value_or("") : "");
}

void StoreScreenContainer::selectSeeAll(Ref<plat::Object>, Ref<VnShopGroupInfo> group) {
    if (!group)
        return;
    if (group->LinkUrl_ && !group->LinkUrl_->empty()) {
        currentGroupInfo_ = group;
        setOverlayShown(true);
        DirectUriWithLink(*group->LinkUrl_);
        return;
    }
    removeView(mainChild_);
    makeGroupList();
    plat::sendIfResponds(groupList_, StoreScreenMessages::kSetShopGroupInfo, std::move(group));
    showCategoryMainView();
}

void StoreScreenContainer::groupListBack(Ref<plat::Object>, std::string) {
    removeView(groupList_);
    if (releasesLeftChildren())
        groupList_.reset();
    showMainChild();
}

Ref<plat::Object> StoreScreenContainer::childReplacedByDetail() const {
    return detailReplacesCurrentChild() ? current_ : mainChild_;
}

void StoreScreenContainer::detailLoadDataInfoComplete() {
    setOverlayShown(false);
    removeView(childReplacedByDetail());
    showDetailMainView();
}

void StoreScreenContainer::detailSeeAllBackIssue(Ref<plat::Object>, Ref<VnMagazineInfo> magazine) {
    removeView(detail_);
    showBackIssueMainView(std::move(magazine));
}

void StoreScreenContainer::detailBack(Ref<plat::Object>, std::string) {
    removeView(detail_);
    if (releasesLeftChildren())
        detail_.reset();
    showAfterDetailBack();
}

void StoreScreenContainer::detailPreview(Ref<plat::Object>, Ref<VnMagazineIssueInfo> issue) {
    plat::sendIfResponds(previewPopup_, StoreScreenMessages::kSetMagazineIssueInfo,
                         std::move(issue));
    if (previewView)
        previewView->setHidden(false);
}

void StoreScreenContainer::backIssueBack(Ref<plat::Object>, std::string) {
    removeView(backIssues_);
    if (releasesLeftChildren())
        backIssues_.reset();
    showDetailMainView();
}

void StoreScreenContainer::backIssueSelect(Ref<plat::Object>, Ref<VnMagazineIssueInfo> issue) {
    removeView(backIssues_);
    if (releasesLeftChildren())
        backIssues_.reset();
    plat::sendIfResponds(ensureDetail(), StoreScreenMessages::kSetMagazineIssueInfo,
                         std::move(issue));
    showDetailMainView();
}

void StoreScreenContainer::routerBookCode(Ref<plat::Object>, std::string) {
    pushToShopDetail(true);
}

void StoreScreenContainer::routerMagazineCode(Ref<plat::Object>, std::string) {
    pushToShopDetail(false);
}

void StoreScreenContainer::routerIssueList(Ref<plat::Object>, std::string groupCode) {
    setOverlayShown(false);
    removeView(current_);
    makeGroupList();
    plat::sendIfResponds(groupList_, StoreScreenMessages::kSetCurrentCodeSort,
                         std::move(groupCode));
    showCategoryMainView();
}

void StoreScreenContainer::routerFeatured(Ref<plat::Object>, std::string) {}

void StoreScreenContainer::routerWebLinkComplete(Ref<plat::Object>) {
    setOverlayShown(false);
}

void StoreScreenContainer::loadingCancelClick(Ref<plat::Object>) {
    setOverlayShown(false);
}

void StoreScreenContainer::previewClose() {
    plat::sendIfResponds(previewPopup_, StoreScreenMessages::kSetMagazineIssueInfo,
                         Ref<VnMagazineIssueInfo>());
    if (previewView)
        previewView->setHidden(true);
}
