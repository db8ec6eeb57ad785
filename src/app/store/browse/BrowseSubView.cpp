#include "app/store/browse/BrowseSubView.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTreeWidget>
#include <algorithm>

#include "app/common/ScreenTexts.h"
#include "app/services/GlobalService.h"
#include "app/store/StoreMessages.h"
#include "app/store/browse/BrowseListView.h"
#include "app/store/browse/DirectoryIndexCharOfName.h"
#include "app/store/browse/Va3GroupBrowseBook.h"
#include "app/store/detail/StoreNeighbours.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/dev/util/VndArrayAdditions.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnLocalSnapshot.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(BrowseSubView, ui::ViewController, [](auto& c) {
    using V = BrowseSubView;
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreScreenMessages::kSetIsMagazine, &V::setIsMagazine)
        .method(StoreScreenMessages::kBrowseBookWidget, &V::browseBookWidget)
        .method("browseBookWidget:", &V::browseBookWidgetCode)
        .method("startBrowseBook:isForceUpdate:", &V::startBrowseBook)
        .method("requestItemBookGroupInfo:", &V::requestItemBookGroupInfo)
        .method("requestItemBookGroupInfoContinue", &V::requestItemBookGroupInfoContinue)
        .method("_setContentViewToName:", &V::_setContentViewToName)
        .method(StoreListMessages::kBrowseListContinue, &V::browseListView_continueEvent)
        .method(StoreListMessages::kBrowseListSelect,
                &V::browseListView_selectShopGroupInfo_withHeaderGroupInfo);
})

namespace {

constexpr int kNamePositionRole = Qt::UserRole;

// The first record of a finished list request's snapshot, when it is a group.
Ref<VnShopGroupInfo> firstGroupOf(const plat::Value& returnValue) {
    auto snapshot = returnValue.as<VnLocalSnapshot>();
    if (!snapshot || snapshot->items().empty())
        return nullptr;
    return std::dynamic_pointer_cast<VnShopGroupInfo>(snapshot->items().front());
}

BrowseSubView::GroupList groupsOf(const plat::Value& returnValue) {
    BrowseSubView::GroupList groups;
    if (auto snapshot = returnValue.as<VnLocalSnapshot>()) {
        for (const auto& item : snapshot->items()) {
            if (auto group = std::dynamic_pointer_cast<VnShopGroupInfo>(item))
                groups.push_back(std::move(group));
        }
    }
    return groups;
}

}  // namespace

BrowseSubView::BrowseSubView() : ui::ViewController(kNibName) {}

void BrowseSubView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController("", kNibName,
                                [] { return ui::ViewController::create<BrowseSubView>(); });
}

BrowseSubView::GroupList BrowseSubView::orderedByOrderWidget(GroupList groups) {
    std::vector<plat::Value> values(groups.begin(), groups.end());
    const auto ordered =
        linq_orderByIntNoZero(*plat::Array::make(std::move(values)), "OrderWidget");
    GroupList out;
    out.reserve(ordered->count());
    for (const auto& value : ordered->values())
        out.push_back(value.as<VnShopGroupInfo>());
    return out;
}

BrowseSubView::GroupList BrowseSubView::orderedSubwidgets(const Ref<VnShopGroupInfo>& group) {
    GroupList groups;
    for (int32_t i = 0; group && i < group->subgroupCount(); ++i) {
        if (auto sub = group->subgroupAtIndex(i))
            groups.push_back(std::move(sub));
    }
    return orderedByOrderWidget(std::move(groups));
}

Ref<VnShopGroupInfo> BrowseSubView::newShopGroupInfo(const std::string& title, int32_t type) {
    auto group = std::make_shared<VnShopGroupInfo>();
    group->Title_ = title;
    group->Type_ = type;
    return group;
}

std::unique_ptr<QWidget> BrowseSubView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(900, 600);
    auto* layout = new QHBoxLayout(view.get());
    layout->setContentsMargins(0, 0, 0, 0);
    splitView = new QSplitter(Qt::Horizontal, view.get());
    splitView->setChildrenCollapsible(false);
    browseListOutlineView = new QTreeWidget(splitView);
    browseListOutlineView->setHeaderHidden(true);
    browseListOutlineView->setRootIsDecorated(false);
    browseListOutlineView->setItemsExpandable(false);
    browseListOutlineView->setSelectionMode(QAbstractItemView::SingleSelection);
    browseListOutlineView->setMinimumWidth(static_cast<int>(splitView_constrainMinCoordinate(0)));
    browseListOutlineView->setMaximumWidth(static_cast<int>(splitView_constrainMaxCoordinate(0)));
    customListMainView = new QWidget(splitView);
    splitView->addWidget(browseListOutlineView);
    splitView->addWidget(customListMainView);
    // Resizing keeps the index pane's width and gives the rest to the list.
    splitView->setStretchFactor(0, 0);
    splitView->setStretchFactor(1, 1);
    splitView->setSizes({static_cast<int>(kMinOutlineViewSplit_), view->width()});
    layout->addWidget(splitView);
    QObject::connect(browseListOutlineView, &QTreeWidget::itemSelectionChanged,
                     [weak = weakSelf<BrowseSubView>()] {
                         if (auto screen = weak.lock())
                             screen->outlineViewSelectionDidChange();
                     });
    return view;
}

// ---- Names and the index --------------------------------------------------------------------

void BrowseSubView::browseBookWidget(std::string groupCode, bool forceUpdate) {
    const auto user = store_neighbours::activeUserContext();
    if (!user)
        return;
    auto domain = user->shopGroupInfoDomainWithGroupCode(groupCode);
    auto snapshot = domain->takeLocalSnapshot();
    if (!forceUpdate && !gAuthors_.empty())
        return;
    if (reqGroupAuthor_)
        reqGroupAuthor_->cancel();
    reqGroupAuthor_ = domain->newDomainUpdatingRequest(std::move(snapshot));
    namesGroupCode_ = groupCode;
    namesAnswered_ = false;
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseSubStartLoading);
    reqGroupAuthor_->startWithDidFinishBlock(
        [weak = weakSelf<BrowseSubView>()](const Ref<VnRequestResult>&, const plat::Value& value) {
            auto screen = weak.lock();
            if (!screen)
                return;
            screen->namesAnswered_ = true;
            plat::sendIfResponds(screen->delegate(), StoreListMessages::kBrowseSubLoadComplete);
            const auto first = firstGroupOf(value);
            if (!first)
                return;
            screen->gAuthors_ = orderedSubwidgets(first);
            screen->generateBrowseBookGroup(screen->gAuthors_);
            screen->reloadOutline();
        });
}

void BrowseSubView::viewDidAppear() {
    ui::ViewController::viewDidAppear();
    if (gAuthors_.empty() && namesAnswered_ && !namesGroupCode_.empty())
        browseBookWidget(namesGroupCode_, true);
}

void BrowseSubView::generateBrowseBookGroup(const GroupList& names) {
    std::map<std::string, Ref<Va3GroupBrowseBook>> groups;
    for (const auto& name : names) {
        if (!name || !name->Title_ || name->Title_->empty())
            continue;
        const char16_t letter = DirectoryIndexCharOfName(QString::fromStdString(*name->Title_));
        const std::string key = QString(QChar(letter)).toStdString();
        auto& group = groups[key];
        if (!group) {
            group = std::make_shared<Va3GroupBrowseBook>();
            group->setGroupName(key);
        }
        group->groupInfos().push_back(name);
    }
    groupBrowseBookArray_.clear();
    for (auto& [letter, group] : groups)
        groupBrowseBookArray_.push_back(std::move(group));
    // A plain comparison of the tokens: "#", the letters above U+00FF, then the Latin ones.
    std::stable_sort(groupBrowseBookArray_.begin(), groupBrowseBookArray_.end(),
                     [](const auto& a, const auto& b) {
                         return a->groupNameSortingToken() < b->groupNameSortingToken();
                     });
    groupBrowseKeyArray_.clear();
    groupBrowseBookIndexMap_.clear();
    for (size_t i = 0; i < groupBrowseBookArray_.size(); ++i) {
        groupBrowseKeyArray_.push_back(groupBrowseBookArray_[i]->groupName());
        groupBrowseBookIndexMap_[groupBrowseBookArray_[i]->groupName()] = i;
    }
}

int BrowseSubView::numberOfChildrenOfItem(const plat::Value& item) const {
    if (item.isNil())
        return static_cast<int>(groupBrowseKeyArray_.size());
    if (const std::string* letter = item.string()) {
        const auto it = groupBrowseBookIndexMap_.find(*letter);
        if (it != groupBrowseBookIndexMap_.end())
            return static_cast<int>(groupBrowseBookArray_[it->second]->groupInfos().size());
    }
    return 0;
}

plat::Value BrowseSubView::childOfItem(int index, const plat::Value& item) const {
    if (index < 0 || index >= numberOfChildrenOfItem(item))
        return {};
    if (item.isNil())
        return plat::Value(groupBrowseKeyArray_[static_cast<size_t>(index)]);
    const auto& group = groupBrowseBookArray_[groupBrowseBookIndexMap_.at(*item.string())];
    return plat::Value(group->groupInfos()[static_cast<size_t>(index)]);
}

bool BrowseSubView::isItemExpandable(const plat::Value& item) const {
    return item.isString();
}

bool BrowseSubView::isGroupItem(const plat::Value& item) const {
    return item.isString();
}

bool BrowseSubView::shouldSelectItem(const plat::Value& item) const {
    return !isGroupItem(item);
}

void BrowseSubView::reloadOutline() {
    view();
    const QSignalBlocker quiet(browseListOutlineView);
    browseListOutlineView->clear();
    const plat::Value root;
    for (int g = 0; g < numberOfChildrenOfItem(root); ++g) {
        const plat::Value letter = childOfItem(g, root);
        auto* header =
            new QTreeWidgetItem(browseListOutlineView, {QString::fromStdString(*letter.string())});
        header->setFlags(shouldSelectItem(letter) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                  : Qt::ItemIsEnabled);
        QFont font = header->font(0);
        font.setBold(true);
        header->setFont(0, font);
        for (int c = 0; c < numberOfChildrenOfItem(letter); ++c) {
            const auto name = childOfItem(c, letter).as<VnShopGroupInfo>();
            auto* row = new QTreeWidgetItem(header, {objectText(name->Title_)});
            row->setData(0, kNamePositionRole, QPoint(g, c));
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
    }
    browseListOutlineView->expandAll();
}

void BrowseSubView::outlineViewSelectionDidChange() {
    if (!browseListOutlineView)
        return;
    const auto selected = browseListOutlineView->selectedItems();
    if (selected.isEmpty() || !selected.front()->parent())
        return;
    const QPoint position = selected.front()->data(0, kNamePositionRole).toPoint();
    const plat::Value letter = childOfItem(position.x(), plat::Value());
    auto name = childOfItem(position.y(), letter).as<VnShopGroupInfo>();
    if (!name)
        return;
    currentGroupInfo_ = name;
    requestItemBookGroupInfo(name->Id_.value_or(""));
}

// ---- A name's items -------------------------------------------------------------------------

void BrowseSubView::requestItemBookGroupInfo(std::string nameId) {
    currentBookGroupCode_ = isMagazine_ ? nameId : nameId + "_all";
    setItemsUpdating(true);
    if (reqItemGroupBook_) {
        reqItemGroupBook_->cancel();
        reqItemGroupBook_.reset();
    }
    const auto user = store_neighbours::activeUserContext();
    if (!user) {
        setItemsUpdating(false);
        return;
    }
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseSubStartLoading);
    auto domain = user->shopGroupInfoDomainWithGroupCode(currentBookGroupCode_);
    reqItemGroupBook_ = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
    reqItemGroupBook_->startWithDidFinishBlock(
        [weak = weakSelf<BrowseSubView>(), code = currentBookGroupCode_](
            const Ref<VnRequestResult>&, const plat::Value& value) {
            auto screen = weak.lock();
            if (!screen)
                return;
            plat::sendIfResponds(screen->delegate(), StoreListMessages::kBrowseSubLoadComplete);
            if (auto first = firstGroupOf(value)) {
                screen->groupBookItems_ = orderedSubwidgets(first);
                screen->shownBookGroupCode_ = code;
                screen->_setContentViewToName(first);
            }
            screen->setItemsUpdating(false);
        });
}

void BrowseSubView::requestItemBookGroupInfoContinue() {
    // Paging extends the list shown, and only once the selected name's first page is in it.
    if (isBookUpdateItem_ || shownBookGroupCode_.empty() ||
        shownBookGroupCode_ != currentBookGroupCode_)
        return;
    const auto user = store_neighbours::activeUserContext();
    if (!user)
        return;
    setItemsUpdating(true);
    const auto start = static_cast<int32_t>(groupBookItems_.size());
    const auto global = GlobalService::globalShared();
    const int32_t length = global ? global->numberLimitLoadOfItem() : 48;
    auto domain = user->shopSubGroupInfoDomainWithGroupCode(currentBookGroupCode_, start, length);
    auto snapshot = domain->takeLocalSnapshot();
    if (reqItemGroupBook_)
        reqItemGroupBook_->cancel();
    reqItemGroupBook_ = domain->newDomainUpdatingRequest(std::move(snapshot));
    reqItemGroupBook_->startWithDidFinishBlock(
        [weak = weakSelf<BrowseSubView>()](const Ref<VnRequestResult>&, const plat::Value& value) {
            auto screen = weak.lock();
            if (!screen)
                return;
            if (auto page = groupsOf(value); !page.empty()) {
                auto items = screen->groupBookItems_;
                for (auto& item : orderedByOrderWidget(std::move(page)))
                    items.push_back(std::move(item));
                screen->groupBookItems_ = std::move(items);
                if (screen->browseListView_)
                    screen->browseListView_->setShopGroupArray(screen->groupBookItems_);
            }
            screen->setItemsUpdating(false);
        });
}

void BrowseSubView::_setContentViewToName(Ref<VnShopGroupInfo>) {
    view();
    if (!browseListView_) {
        browseListView_ = ui::ResourceRegistry::shared().instantiate<BrowseListView>(
            "", BrowseListView::kNibName);
        if (!browseListView_)
            browseListView_ = ui::ViewController::create<BrowseListView>();
        browseListView_->setDelegate(self());
    }
    if (browseListView_->view()->parentWidget() != customListMainView)
        browseListView_->addToContainer(customListMainView);
    browseListView_->setShopGroupInfo(currentGroupInfo_);
    // The list shows the order that its next pages extend.
    browseListView_->setShopGroupArray(groupBookItems_);
}

void BrowseSubView::browseListView_selectShopGroupInfo_withHeaderGroupInfo(
    Ref<plat::Object>, Ref<VnShopGroupInfo> item, Ref<VnShopGroupInfo> header) {
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseSubSelect, self(), std::move(item),
                         std::move(header));
}
