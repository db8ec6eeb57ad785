#include "app/store/common/ShopCategoryMainViewController.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/common/QtImageView.h"
#include "app/store/StoreMessages.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/StoreListSupport.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(ShopCategoryMenuCollectionViewItem, ui::CollectionViewItem, [](auto& c) {
    c.method("sortButton_Click:", &ShopCategoryMenuCollectionViewItem::sortButton_Click);
})
PLAT_DEFINE_CLASS(ShopCategoryMainViewController, ui::ViewController, [](auto& c) {
    using V = ShopCategoryMainViewController;
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreScreenMessages::kSetShopGroupInfo, &V::setShopGroupInfo)
        .method(StoreScreenMessages::kSetCurrentCodeSort, &V::setCurrentCodeSort)
        .method(StoreListMessages::kBookCoverCellSelect, &V::bookCoverCollectionCellSelect)
        .method(StoreListMessages::kShopCategoryMenuSelect,
                &V::shopCategoryMenuCollectionCellSelect)
        .method("backButton_Click:", &V::backButton_Click)
        .method("requestMenuGroupInfo_request:didFinishWithResult:", &V::requestMenuGroupInfo)
        .method("requestItemBookGroupInfo_request:didFinishWithResult:",
                &V::requestItemBookGroupInfoFinished)
        .method("requestItemBookGroupInfoContinue_request:didFinishWithResult:",
                &V::requestItemBookGroupInfoContinueFinished);
})

namespace {

using GroupList = ShopCategoryMainViewController::GroupList;

constexpr const char* kMenuStoryboard = "ShopCategoryMainViewController";
constexpr const char* kMenuIdentifier = "ShopCategoryMenuCollectionViewItem";

// The store groups among a list's elements, in order; anything else is skipped.
GroupList groupsOf(const VnInfoList& items) {
    GroupList out;
    for (const auto& item : items)
        if (auto group = std::dynamic_pointer_cast<VnShopGroupInfo>(item))
            out.push_back(std::move(group));
    return out;
}

GroupList subgroupsOf(const Ref<VnShopGroupInfo>& group) {
    GroupList out;
    if (!group || !group->Subwidgets_)
        return out;
    for (const auto& value : group->Subwidgets_->values())
        if (auto sub = value.as<VnShopGroupInfo>())
            out.push_back(std::move(sub));
    return out;
}

bool titled(const Ref<VnShopGroupInfo>& group, const std::string& title) {
    return group->Title_ && *group->Title_ == title;
}

std::vector<plat::Value> valuesOf(const GroupList& list) {
    return {list.begin(), list.end()};
}

}  // namespace

// ---- A sort option -----------------------------------------------------------------------------

const QColor ShopCategoryMenuCollectionViewItem::kSelectedColor =
    QColor::fromRgbF(1.0f, 0.231f, 0.188f, 1.0f);
const QColor ShopCategoryMenuCollectionViewItem::kTextColor =
    QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f);

std::string ShopCategoryMenuCollectionViewItem::labelForTitle(const std::string& title) {
    if (title == "Rank")
        return "ยอดนิยม";
    if (title == "Date")
        return "วันที่";
    if (title == "Price")
        return "ราคา";
    if (title == "Title")
        return "ชื่อเรื่อง";
    return title;
}

std::unique_ptr<QWidget> ShopCategoryMenuCollectionViewItem::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    sortButton = new QPushButton(view.get());
    sortButton->setGeometry(2, 2, kWidth - 4, kHeight - 4);
    QObject::connect(sortButton, &QPushButton::clicked,
                     [weak = weakSelf<ShopCategoryMenuCollectionViewItem>()] {
                         if (auto item = weak.lock())
                             item->sortButton_Click(nullptr);
                     });
    // The text lies over the button and lets clicks through to it.
    sortText = new QLabel(view.get());
    sortText->setFont(ui::thaiCapableFont(13));
    sortText->setAlignment(Qt::AlignCenter);
    sortText->setGeometry(2, 2, kWidth - 4, kHeight - 4);
    sortText->setAttribute(Qt::WA_TransparentForMouseEvents);
    borderColor_ = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
    textColor_ = kTextColor;
    applyLook();
    return view;
}

Ref<VnShopGroupInfo> ShopCategoryMenuCollectionViewItem::shopGroupInfo() const {
    return representedObject().as<VnShopGroupInfo>();
}

void ShopCategoryMenuCollectionViewItem::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    view();
    sortButton->setText("");
    if (auto option = shopGroupInfo())
        sortText->setText(QString::fromStdString(labelForTitle(option->Title_.value_or(""))));
    applyLook();
}

void ShopCategoryMenuCollectionViewItem::setSelected(bool selected) {
    ui::CollectionViewItem::setSelected(selected);
    // Light grey and grey, then red when selected.
    borderColor_ = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
    textColor_ = kTextColor;
    if (selected)
        borderColor_ = textColor_ = kSelectedColor;
    applyLook();
}

void ShopCategoryMenuCollectionViewItem::applyLook() {
    if (!isViewLoaded())
        return;
    sortButton->setCheckable(true);
    sortButton->setChecked(isSelected());
    sortButton->setStyleSheet(QString("QPushButton { background: transparent; border: 1px solid "
                                      "%1; border-radius: 3px; }")
                                  .arg(borderColor_.name()));
    QPalette palette = sortText->palette();
    palette.setColor(QPalette::WindowText, textColor_);
    sortText->setPalette(palette);
}

void ShopCategoryMenuCollectionViewItem::sortButton_Click(Ref<plat::Object>) {
    plat::systemLog("double click in the collectionItem");
    ui::CollectionView* bar = collectionView();
    const auto delegate = bar ? bar->delegate() : nullptr;
    if (!delegate ||
        !plat::respondsToSelector(delegate, StoreListMessages::kShopCategoryMenuSelect))
        return;
    // One option is chosen at a time.
    for (int index = 0; index < static_cast<int>(bar->content().size()); ++index) {
        auto other =
            std::dynamic_pointer_cast<ShopCategoryMenuCollectionViewItem>(bar->itemAtIndex(index));
        if (other && other.get() != this)
            other->setSelected(false);
    }
    setSelected(true);
    plat::send(delegate, StoreListMessages::kShopCategoryMenuSelect,
               self<ShopCategoryMenuCollectionViewItem>());
}

// ---- The list ----------------------------------------------------------------------------------

ShopCategoryMainViewController::ShopCategoryMainViewController() : ui::ViewController(kNibName) {}

ShopCategoryMainViewController::~ShopCategoryMainViewController() {
    store_lists::stopObserving(boundsObserver_);
    cancelMenuRequest();
    cancelItemRequest();
}

void ShopCategoryMainViewController::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(
        "", kNibName, [] { return ui::ViewController::create<ShopCategoryMainViewController>(); });
    registry.registerController(kMenuStoryboard, kMenuIdentifier, [] {
        return ui::ViewController::create<ShopCategoryMenuCollectionViewItem>();
    });
}

std::unique_ptr<QWidget> ShopCategoryMainViewController::loadView() {
    // Frames are y-up in a page of 1024 x 700: the title bar on top, the header picture under
    // it, then the sort bar, and the grid in the rest.
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    backButton = new QPushButton(QString::fromUtf8("< กลับ"), view.get());
    backButton->setFont(ui::thaiCapableFont(13));
    ui::setFrame(backButton, {20, 664, 90, 28});
    QObject::connect(backButton, &QPushButton::clicked,
                     [weak = weakSelf<ShopCategoryMainViewController>()] {
                         if (auto list = weak.lock())
                             list->backButton_Click(nullptr);
                     });
    titleTextField = new QLabel(view.get());
    titleTextField->setFont(ui::thaiCapableFont(16));
    ui::setFrame(titleTextField, {130, 664, 600, 28});
    headerCoverImageView = new QLabel(view.get());
    headerCoverImageView->setScaledContents(true);
    ui::setFrame(headerCoverImageView, {0, 656 - kHeaderHeight, 1024, kHeaderHeight});
    menuView = new QWidget(view.get());
    ui::setFrame(menuView, {0, 656 - kHeaderHeight - 40, 1024, 40});
    menuCollectionView = new ui::CollectionView(menuView);
    menuCollectionView->setGeometry(menuView->rect());
    menuCollectionView->setScrollDirection(ui::CollectionView::ScrollDirection::Horizontal);
    menuCollectionView->setSpacing(4);
    menuCollectionView->setItemSize(
        {ShopCategoryMenuCollectionViewItem::kWidth, ShopCategoryMenuCollectionViewItem::kHeight});
    dataView = new QWidget(view.get());
    ui::setFrame(dataView, {0, 0, 1024, 656 - kHeaderHeight - 40});
    collectionView = new ui::CollectionView(dataView);
    collectionView->setGeometry(dataView->rect());
    collectionView->setItemSize(
        {BookCoverCollectionCellView::kWidth, BookCoverCollectionCellView::kHeight});
    for (QWidget* top : std::initializer_list<QWidget*>{backButton, titleTextField,
                                                        headerCoverImageView, menuView})
        ui::setAutoresizingMask(top, ui::ViewMinYMargin | ui::ViewWidthSizable);
    ui::setAutoresizingMask(menuCollectionView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    ui::setAutoresizingMask(dataView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    ui::setAutoresizingMask(collectionView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    return view;
}

void ShopCategoryMainViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    headerImage_ = QtImageView::make(headerCoverImageView);
    if (shopGroupInfo_ && shopGroupInfo_->HeadImageUrl_ &&
        !shopGroupInfo_->HeadImageUrl_->empty()) {
        // The picture loads in the background over the placeholder.
        headerCoverImageView->show();
        headerImage_->setImageWithURL(
            shopGroupInfo_->HeadImageUrl_,
            ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
    } else {
        // The sort bar and the grid take the header's place.
        headerCoverImageView->hide();
        QRectF data = ui::frame(dataView);
        ui::setFrame(dataView, {data.x(), data.y(), data.width(), data.height() + kHeaderHeight});
        QRectF menu = ui::frame(menuView);
        ui::setFrame(menuView, {menu.x(), menu.y() + kHeaderHeight, menu.width(), menu.height()});
    }
    collectionView->setItemFactory([]() -> Ref<ui::CollectionViewItem> {
        return BookCoverCollectionCellView::makeFromStoryboard();
    });
    collectionView->setDelegate(self());
    boundsObserver_ =
        store_lists::observeBounds(collectionView, weakSelf<ShopCategoryMainViewController>());
    menuCollectionView->setItemFactory([]() -> Ref<ui::CollectionViewItem> {
        if (auto item = ui::ResourceRegistry::shared().instantiate<ui::CollectionViewItem>(
                kMenuStoryboard, kMenuIdentifier))
            return item;
        return ui::ViewController::create<ShopCategoryMenuCollectionViewItem>();
    });
    menuCollectionView->setDelegate(self());
    showTitle();
    menuCollectionView->setContent(valuesOf(*menu_));
    showEntries();
}

void ShopCategoryMainViewController::showEntries() {
    const GroupList& shown = *entriesShown_;
    const GroupList& now = *entries_;
    if (now.size() >= shown.size() && collectionView->content().size() == shown.size() &&
        std::equal(shown.begin(), shown.end(), now.begin()))
        collectionView->appendContent(
            {now.begin() + static_cast<ptrdiff_t>(shown.size()), now.end()});
    else
        collectionView->setContent({now.begin(), now.end()});
    entriesShown_ = entries_;
}

void ShopCategoryMainViewController::showTitle() {
    if (titleTextField)
        titleTextField->setText(QString::fromStdString(title_));
}

void ShopCategoryMainViewController::setShopMenuSortArray(
    std::shared_ptr<const GroupList> options) {
    menu_ = options ? std::move(options) : std::make_shared<const GroupList>();
    if (menuCollectionView) {
        menuCollectionView->setContent(valuesOf(*menu_));
        // Options made for earlier ones come back unselected.
        for (int index = 0; index < static_cast<int>(menu_->size()); ++index)
            if (auto item = std::dynamic_pointer_cast<ShopCategoryMenuCollectionViewItem>(
                    menuCollectionView->itemAtIndex(index)))
                item->setSelected(false);
    }
}

void ShopCategoryMainViewController::setShopGroupArray(std::shared_ptr<const GroupList> entries) {
    entries_ = entries ? std::move(entries) : std::make_shared<const GroupList>();
    if (collectionView)
        showEntries();
}

// ---- Opening a list ----------------------------------------------------------------------------

void ShopCategoryMainViewController::setShopGroupInfo(Ref<VnShopGroupInfo> group) {
    if (group == shopGroupInfo_)
        return;
    shopGroupInfo_ = std::move(group);
    // A new list: the previous list's sort is not this one's.
    currentCodeSort_.reset();
    asked_.clear();
    if (shopGroupInfo_ && shopGroupInfo_->Id_)
        requestSortOptions(*shopGroupInfo_->Id_);
}

void ShopCategoryMainViewController::setCurrentCodeSort(std::string code) {
    asked_.clear();
    currentCodeSort_ = code;
    requestSortOptions(code);
}

void ShopCategoryMainViewController::followSortCode(const std::string& code) {
    currentCodeSort_ = code;
    if (!asked_.count(code))
        requestSortOptions(code);
}

void ShopCategoryMainViewController::cancelMenuRequest() {
    if (menuRequest_) {
        menuRequest_->cancel();
        menuRequest_.reset();
    }
}

void ShopCategoryMainViewController::cancelItemRequest() {
    if (itemRequest_) {
        itemRequest_->cancel();
        itemRequest_.reset();
    }
}

void ShopCategoryMainViewController::requestSortOptions(const std::string& code) {
    const auto user = store_lists::activeUserContext();
    if (!user)
        return;
    asked_.insert(code);
    const auto domain = user->shopGroupInfoDomainWithGroupCode(code + ".Sort");
    const auto snapshot = domain->takeLocalSnapshot();
    cancelMenuRequest();
    menuRequest_ = domain->newDomainUpdatingRequest(snapshot);
    menuRequest_->startWithDelegate(self(), "requestMenuGroupInfo_");
}

void ShopCategoryMainViewController::requestMenuGroupInfo(Ref<plat::Object>,
                                                          Ref<VnRequestResult> result) {
    menuRequest_.reset();
    const auto items = store_lists::deliveredItems(result);
    const GroupList records = items ? groupsOf(*items) : GroupList();
    if (records.empty())
        return;
    const Ref<VnShopGroupInfo>& head = records.front();
    if (head != currentGroupCate_) {
        currentGroupCate_ = head;
        title_ = head->Title_.value_or("");
        showTitle();
    }
    GroupList bar;
    for (const auto& option : subgroupsOf(head)) {
        if (titled(option, "Default")) {
            if (option->Id_)
                followSortCode(*option->Id_);
        } else if (!titled(option, "Price")) {
            bar.push_back(option);
        }
    }
    if (head->defaultSort_) {
        for (const auto& option : bar) {
            if (titled(option, *head->defaultSort_) && option->Id_) {
                followSortCode(*option->Id_);
                break;
            }
        }
    }
    setShopMenuSortArray(std::make_shared<const GroupList>(bar));
    if (!currentCodeSort_) {
        for (const auto& option : bar) {
            if (option->Id_) {
                followSortCode(*option->Id_);
                break;
            }
        }
    }
    if (!currentCodeSort_) {
        // Nothing to choose: the list of this group is empty.
        cancelItemRequest();
        isUpdateItem_ = false;
        setShopGroupArray(nullptr);
        return;
    }
    requestItemBookGroupInfo(*currentCodeSort_);
}

// ---- Pages of entries --------------------------------------------------------------------------

void ShopCategoryMainViewController::requestItemBookGroupInfo(std::string code) {
    const auto user = store_lists::activeUserContext();
    if (!user)
        return;
    isUpdateItem_ = true;
    currentCodeSort_ = code;
    cancelItemRequest();
    const auto domain = user->shopGroupInfoDomainWithGroupCode(code);
    itemRequest_ = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
    itemRequest_->startWithDelegate(self(), "requestItemBookGroupInfo_");
}

void ShopCategoryMainViewController::requestItemBookGroupInfoFinished(Ref<plat::Object>,
                                                                      Ref<VnRequestResult> result) {
    itemRequest_.reset();
    isUpdateItem_ = false;
    const auto items = store_lists::deliveredItems(result);
    const GroupList records = items ? groupsOf(*items) : GroupList();
    if (records.empty())
        return;
    GroupList entries = subgroupsOf(records.front());
    store_lists::orderByDisplayOrder(entries);
    setShopGroupArray(std::make_shared<const GroupList>(std::move(entries)));
}

void ShopCategoryMainViewController::scrollViewDidScroll() {
    if (store_lists::showsEnd(collectionView))
        requestItemBookGroupInfoContinue();
}

void ShopCategoryMainViewController::requestItemBookGroupInfoContinue() {
    // One page at a time, and none while a newly opened list learns its sort options (the
    // entries shown may still be another list's).
    if (isUpdateItem_ || menuRequest_ || !currentCodeSort_)
        return;
    const auto user = store_lists::activeUserContext();
    if (!user)
        return;
    isUpdateItem_ = true;
    const auto start = static_cast<int32_t>(entries_->size());
    const auto domain = user->shopSubGroupInfoDomainWithGroupCode(*currentCodeSort_, start,
                                                                  store_lists::pageLength());
    cancelItemRequest();
    itemRequest_ = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
    itemRequest_->startWithDelegate(self(), "requestItemBookGroupInfoContinue_");
}

void ShopCategoryMainViewController::requestItemBookGroupInfoContinueFinished(
    Ref<plat::Object>, Ref<VnRequestResult> result) {
    itemRequest_.reset();
    isUpdateItem_ = false;
    const auto items = store_lists::deliveredItems(result);
    if (!items || items->empty())
        return;
    GroupList page = groupsOf(*items);
    store_lists::orderByDisplayOrder(page);
    GroupList joined = *entries_;
    joined.insert(joined.end(), page.begin(), page.end());
    setShopGroupArray(std::make_shared<const GroupList>(std::move(joined)));
}

// ---- The member's choices ----------------------------------------------------------------------

void ShopCategoryMainViewController::bookCoverCollectionCellSelect(Ref<plat::Object> cell) {
    plat::systemLog("Double clicked on icon: ShopInfo");
    auto item = std::dynamic_pointer_cast<ui::CollectionViewItem>(cell);
    auto entry = item ? item->representedObject().as<VnShopGroupInfo>() : nullptr;
    if (!entry)
        return;
    plat::sendIfResponds(delegate_, StoreListMessages::kShopCategorySelect,
                         self<ShopCategoryMainViewController>(), entry, shopGroupInfo_);
}

void ShopCategoryMainViewController::shopCategoryMenuCollectionCellSelect(Ref<plat::Object> item) {
    auto option = std::dynamic_pointer_cast<ShopCategoryMenuCollectionViewItem>(item);
    auto group = option ? option->shopGroupInfo() : nullptr;
    if (group && group->Id_)
        requestItemBookGroupInfo(*group->Id_);
}

void ShopCategoryMainViewController::backButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, StoreListMessages::kShopCategoryBack,
                         self<ShopCategoryMainViewController>(), std::string());
}
