#include "app/store/topchart/TopChartListViewController.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/store/StoreMessages.h"
#include "app/store/common/StoreListSupport.h"
#include "app/store/topchart/TopChartCollectionCellView.h"
#include "app/store/topchart/TopChartProtocols.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(TopChartListViewController, ui::ViewController, [](auto& c) {
    using V = TopChartListViewController;
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method("updateGroupCategory", &V::updateGroupCategory)
        .method("btnType_buttonClick:", &V::btnType_buttonClick)
        .method("updateGroupTopSeller", &V::updateGroupTopSeller)
        .method("updateGroupTopSellerContinue", &V::updateGroupTopSellerContinue)
        .method("adjustCategories", &V::adjustCategories)
        .method(StoreListMessages::kTopChartCellSelect, &V::topChartCollentionSelectShopGroupInfo)
        .method("groupCategoryUpdate_request:didFinishWithResult:", &V::groupCategoryUpdate)
        .method("groupTopSellerUpdate_request:didFinishWithResult:", &V::groupTopSellerUpdate)
        .method("groupTopSellerContinueUpdate_request:didFinishWithResult:",
                &V::groupTopSellerContinueUpdate);
})

namespace {

// The store groups among a list's elements, ordered by OrderWidget with the 0s last.
ShopGroupList orderedByOrderWidget(const Ref<plat::Array>& list) {
    ShopGroupList out;
    if (list)
        for (const auto& value : list->values())
            if (auto group = value.as<VnShopGroupInfo>())
                out.push_back(std::move(group));
    store_lists::orderByDisplayOrder(out);
    return out;
}

ShopGroupList orderedByOrderWidget(const VnInfoList& items) {
    ShopGroupList out;
    for (const auto& item : items)
        if (auto group = std::dynamic_pointer_cast<VnShopGroupInfo>(item))
            out.push_back(std::move(group));
    store_lists::orderByDisplayOrder(out);
    return out;
}

// The records of a finished list request (none for a failure).
VnInfoList itemsOf(const Ref<VnRequestResult>& result) {
    return store_lists::deliveredItems(result).value_or(VnInfoList{});
}

Ref<VnShopGroupInfo> firstGroup(const VnInfoList& items) {
    return items.empty() ? nullptr : std::dynamic_pointer_cast<VnShopGroupInfo>(items.front());
}

}  // namespace

TopChartListViewController::TopChartListViewController() : ui::ViewController(kNibName) {}

TopChartListViewController::~TopChartListViewController() {
    store_lists::stopObserving(boundsObservation_);
}

void TopChartListViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(
        "", kNibName, [] { return ui::ViewController::create<TopChartListViewController>(); });
}

const char* TopChartListViewController::columnTitle(const std::string& predefinedId,
                                                    const std::string& typeProduct) {
    static const struct {
        const char* predefinedId;
        const char* typeProduct;
        const char* title;
    } kColumns[] = {{"0.categories.books", "Books", "หนังสือ"},
                    {"0.categories.magazines", "Magazines", "นิตยสาร"},
                    {"0.categories.newspapers", "Newspapers", "หนังสือพิมพ์"}};
    for (const auto& column : kColumns)
        if (predefinedId == column.predefinedId && typeProduct == column.typeProduct)
            return column.title;
    return nullptr;
}

std::unique_ptr<QWidget> TopChartListViewController::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(TopChartCollectionCellView::kWidth + 24, 600);
    auto* layout = new QVBoxLayout(view.get());
    layout->setContentsMargins(4, 4, 4, 4);
    titleTextField = new QLabel(view.get());
    titleTextField->setFont(ui::thaiCapableFont(16));
    titleTextField->setAlignment(Qt::AlignCenter);
    layout->addWidget(titleTextField);
    catePopupButton = new QComboBox(view.get());
    catePopupButton->setFont(ui::thaiCapableFont(12));
    layout->addWidget(catePopupButton);
    QObject::connect(catePopupButton, &QComboBox::activated,
                     [weak = weakSelf<TopChartListViewController>()](int) {
                         if (auto column = weak.lock())
                             column->btnType_buttonClick(nullptr);
                     });
    collentiionView = new ui::CollectionView(view.get());
    collentiionView->setItemSize(
        {TopChartCollectionCellView::kWidth, TopChartCollectionCellView::kHeight});
    collentiionView->setSpacing(4);
    collentiionView->setItemFactory(
        [] { return ui::ViewController::create<TopChartCollectionCellView>(); });
    layout->addWidget(collentiionView, 1);
    return view;
}

// The column wakes once its view is loaded, with its kind and codes set.
void TopChartListViewController::viewDidLoad() {
    topchart_protocols::topChartListViewDelegate();
    collentiionView->setDelegate(self());
    currentCode_ = topSellerCodePaid;
    updateGroupCategory();
    scrollView = collentiionView.data();
    boundsObservation_ =
        store_lists::observeBounds(collentiionView, weakSelf<TopChartListViewController>());
}

void TopChartListViewController::viewDidAppear() {
    ui::ViewController::viewDidAppear();
    // A column left empty by a failed load asks again each time it shows.
    if (categoryArrary_.empty()) {
        if (categoryAnswered_)
            updateGroupCategory();
    } else if (groupTopPaid_.empty() && !loadingFirstPage_) {
        updateGroupTopSeller();
    }
}

void TopChartListViewController::setCategoryArrary(const ShopGroupList& categories) {
    auto all = std::make_shared<VnShopGroupInfo>();
    all->Id_ = kAllId;
    all->Title_ = kAllTitle;
    ShopGroupList ordered;
    for (const auto& category : categories)
        if (category)
            ordered.push_back(category);
    store_lists::orderByDisplayOrder(ordered);
    categoryArrary_ = {all};
    categoryArrary_.insert(categoryArrary_.end(), ordered.begin(), ordered.end());
    if (!catePopupButton)
        return;
    catePopupButton->clear();
    for (const auto& entry : categoryArrary_)
        catePopupButton->addItem(QString::fromStdString(entry->Title_.value_or("")));
    catePopupButton->setCurrentIndex(0);
}

Ref<VnShopGroupInfo> TopChartListViewController::selectedCategory() const {
    const int index = catePopupButton ? catePopupButton->currentIndex() : -1;
    if (index < 0 || index >= static_cast<int>(categoryArrary_.size()))
        return nullptr;
    return categoryArrary_[static_cast<size_t>(index)];
}

void TopChartListViewController::updateGroupCategory() {
    const auto user = store_lists::activeUserContext();
    if (!user)
        return;
    const auto domain = user->shopGroupInfoDomainWithGroupCode(kCategoryGroupCode);
    const auto snapshot = domain->takeLocalSnapshot();
    if (categoryRequest_)
        categoryRequest_->cancel();
    categoryAnswered_ = false;
    categoryRequest_ = domain->newDomainUpdatingRequest(snapshot);
    categoryRequest_->startWithDelegate(self(), "groupCategoryUpdate_");
}

void TopChartListViewController::groupCategoryUpdate(Ref<plat::Object>,
                                                     Ref<VnRequestResult> result) {
    categoryAnswered_ = true;
    // A failed load says nothing; the column asks again when it shows again.
    if (!result || !result->succeed())
        return;
    const auto root = firstGroup(itemsOf(result));
    if (!root || !root->Subwidgets_)
        return;
    for (const auto& value : root->Subwidgets_->values()) {
        const auto section = value.as<VnShopGroupInfo>();
        const char* title =
            section ? columnTitle(section->PredefinedId_.value_or(""), typeProduct) : nullptr;
        if (!title) {
            adjustCategories();
            continue;
        }
        if (titleTextField)
            titleTextField->setText(QString::fromUtf8(title));
        setCategoryArrary(orderedByOrderWidget(section->Subwidgets_));
        btnType_buttonClick(nullptr);
        return;
    }
}

void TopChartListViewController::btnType_buttonClick(Ref<plat::Object>) {
    const auto category = selectedCategory();
    if (!category)
        return;
    const std::string id = category->Id_.value_or("");
    currentCode_ = id == kAllId ? topSellerCodePaid : id + ".paid";
    updateGroupTopSeller();
}

void TopChartListViewController::dropChartRequest() {
    if (!reqGroupTopSeller_)
        return;
    // A cancelled request never reports, so its page is no longer running.
    reqGroupTopSeller_->cancel();
    reqGroupTopSeller_.reset();
    isUpdateTopSeller_ = false;
    loadingFirstPage_ = false;
}

void TopChartListViewController::updateGroupTopSeller() {
    const auto user = store_lists::activeUserContext();
    if (!currentCode_ || !user)
        return;
    const auto domain = user->shopGroupInfoDomainWithGroupCode(*currentCode_);
    const auto snapshot = domain->takeLocalSnapshot();
    dropChartRequest();
    reqGroupTopSeller_ = domain->newDomainUpdatingRequest(snapshot);
    loadingFirstPage_ = true;
    reqGroupTopSeller_->startWithDelegate(self(), "groupTopSellerUpdate_");
}

void TopChartListViewController::groupTopSellerUpdate(Ref<plat::Object>,
                                                      Ref<VnRequestResult> result) {
    loadingFirstPage_ = false;
    const VnInfoList items = itemsOf(result);
    if (!items.empty()) {
        const auto chart = firstGroup(items);
        groupTopPaid_ = orderedByOrderWidget(chart ? chart->Subwidgets_ : nullptr);
        showEntries(groupTopPaid_);
    }
    if (collentiionView)
        collentiionView->viewport()->update();
}

void TopChartListViewController::updateGroupTopSellerContinue() {
    const auto user = store_lists::activeUserContext();
    if (!currentCode_ || isUpdateTopSeller_ || loadingFirstPage_ || !user)
        return;
    isUpdateTopSeller_ = true;
    const auto start = static_cast<int32_t>(groupTopPaid_.size());
    const int32_t length = store_lists::pageLength();
    const auto domain = user->shopSubGroupInfoDomainWithGroupCode(*currentCode_, start, length);
    const auto snapshot = domain->takeLocalSnapshot();
    reqGroupTopSeller_ = domain->newDomainUpdatingRequest(snapshot);
    reqGroupTopSeller_->startWithDelegate(self(), "groupTopSellerContinueUpdate_");
}

void TopChartListViewController::groupTopSellerContinueUpdate(Ref<plat::Object>,
                                                              Ref<VnRequestResult> result) {
    const VnInfoList items = itemsOf(result);
    if (!items.empty()) {
        for (auto& entry : orderedByOrderWidget(items))
            groupTopPaid_.push_back(std::move(entry));
        showEntries(groupTopPaid_);
    }
    isUpdateTopSeller_ = false;
    if (collentiionView)
        collentiionView->viewport()->update();
}

void TopChartListViewController::showEntries(ShopGroupList entries) {
    shopGroupArray_ = std::move(entries);
    if (!collentiionView)
        return;
    std::vector<plat::Value> content;
    for (const auto& entry : shopGroupArray_)
        content.push_back(plat::Value(entry));
    collentiionView->setContent(std::move(content));
}

void TopChartListViewController::scrollViewDidScroll() {
    if (store_lists::showsEnd(collentiionView))
        updateGroupTopSellerContinue();
}

void TopChartListViewController::topChartCollentionSelectShopGroupInfo(Ref<plat::Object> cell) {
    const auto item = std::dynamic_pointer_cast<TopChartCollectionCellView>(cell);
    plat::sendIfResponds(delegate_, StoreListMessages::kTopChartListSelect,
                         self<TopChartListViewController>(), item ? item->shopGroupInfo() : nullptr,
                         selectedCategory());
}
