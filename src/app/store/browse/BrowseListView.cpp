#include "app/store/browse/BrowseListView.h"

#include <QGridLayout>
#include <QLabel>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(BrowseListView, ui::ViewController, [](auto& c) {
    c.method(StoreScreenMessages::kSetDelegate, &BrowseListView::setDelegate)
        .method(StoreScreenMessages::kSetShopGroupInfo, &BrowseListView::setShopGroupInfo)
        .method(StoreListMessages::kBookCoverCellSelect,
                &BrowseListView::bookCoverCollectionCellSelect);
})

BrowseListView::BrowseListView() : ui::ViewController(kNibName) {}

BrowseListView::~BrowseListView() {
    plat::NotificationCenter::defaultCenter().removeObserver(this);
}

void BrowseListView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController("", kNibName,
                                [] { return ui::ViewController::create<BrowseListView>(); });
}

std::unique_ptr<QWidget> BrowseListView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(700, 600);
    auto* layout = new QGridLayout(view.get());
    auto* cover = new QLabel(view.get());
    cover->setFixedSize(60, 80);
    cover->setScaledContents(true);
    coverImageView_ = QtImageView::make(cover);
    titleTextField = new ui::ElidingLabel(view.get());
    titleTextField->setFont(ui::thaiCapableFont(16));
    descriptionTextField = new ui::ElidingLabel(view.get());
    descriptionTextField->setStyleSheet("color: gray");
    collectionView = new ui::CollectionView(view.get());
    collectionView->setItemSize(
        {BookCoverCollectionCellView::kWidth, BookCoverCollectionCellView::kHeight});
    collectionView->setItemFactory(
        [] { return BookCoverCollectionCellView::makeFromStoryboard(); });
    layout->addWidget(cover, 0, 0, 2, 1);
    layout->addWidget(titleTextField, 0, 1);
    layout->addWidget(descriptionTextField, 1, 1);
    layout->addWidget(collectionView, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
    return view;
}

void BrowseListView::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    collectionView->setDelegate(self());
    scrollView = collectionView.data();
    observedBounds_ = collectionView->boundsObject();
    plat::NotificationCenter::defaultCenter().addObserver(
        self<BrowseListView>(),
        [weak = weakSelf<BrowseListView>()](const plat::Notification&) {
            if (auto list = weak.lock())
                list->scrollViewDidScroll();
        },
        ui::kViewBoundsDidChangeNotification, observedBounds_);
}

void BrowseListView::setShopGroupInfo(Ref<VnShopGroupInfo> name) {
    shopGroupInfo_ = std::move(name);
    if (!shopGroupInfo_)
        return;
    view();
    titleTextField->setText(objectText(shopGroupInfo_->Title_));
    descriptionTextField->setText(objectText(shopGroupInfo_->Description_));
    coverImageView_->setImageWithURL(
        shopGroupInfo_->ImageUrl_, ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
}

void BrowseListView::setShopGroupArray(std::vector<Ref<VnShopGroupInfo>> items) {
    shopGroupArray_ = std::move(items);
    view();
    std::vector<plat::Value> content;
    content.reserve(shopGroupArray_.size());
    for (const auto& item : shopGroupArray_)
        content.emplace_back(item);
    collectionView->setContent(std::move(content));
    collectionView->viewport()->update();
}

void BrowseListView::scrollViewDidScroll() {
    if (!collectionView)
        return;
    const QRect visible = collectionView->visibleRect();
    if (visible.y() + visible.height() >= collectionView->contentSize().height())
        plat::sendIfResponds(delegate(), StoreListMessages::kBrowseListContinue);
}

void BrowseListView::bookCoverCollectionCellSelect(Ref<plat::Object> cell) {
    auto cover = std::dynamic_pointer_cast<BookCoverCollectionCellView>(cell);
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseListSelect, self(),
                         cover ? cover->shopGroupInfo() : nullptr, shopGroupInfo_);
}
