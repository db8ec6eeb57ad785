#include "app/store/feature/FeatureRowView.h"

#include <QLabel>

#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "platform_ui/CollectionView.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(FeatureRowView, ui::ViewController, [](auto& c) {
    c.method(StoreScreenMessages::kSetDelegate, &FeatureRowView::setDelegate);
})
PLAT_DEFINE_CLASS(FeatureStripRowView, FeatureRowView, [](auto& c) {
    c.method(StoreScreenMessages::kSetShopGroupInfo, &FeatureStripRowView::setShopGroupInfo);
})

std::vector<Ref<VnShopGroupInfo>> FeatureRowView::entriesOf(const Ref<VnShopGroupInfo>& record) {
    std::vector<Ref<VnShopGroupInfo>> entries;
    if (!record || !record->Subwidgets_)
        return entries;
    for (const auto& value : record->Subwidgets_->values())
        if (auto entry = value.as<VnShopGroupInfo>())
            entries.push_back(std::move(entry));
    return entries;
}

bool FeatureRowView::keepRecord(Ref<VnShopGroupInfo> record) {
    if (!record)
        return false;
    shopGroupInfo_ = std::move(record);
    entries_ = entriesOf(shopGroupInfo_);
    return true;
}

FeatureStripRowView::FeatureStripRowView(int height, QSize cellSize, CellFactory cells)
    : height_(height), cellSize_(cellSize), cells_(std::move(cells)) {}

std::unique_ptr<QWidget> FeatureStripRowView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(760, height_);
    titleGroupTextField = new QLabel(view.get());  // children of the row
    titleGroupTextField->setFont(ui::thaiCapableFont(14));
    titleGroupTextField->setGeometry(20, 2, 500, 22);
    collectionView = new ui::CollectionView(view.get());
    collectionView->setGeometry(10, 24, view->width() - 20, height_ - 24);
    ui::setAutoresizingMask(collectionView, ui::ViewWidthSizable);
    collectionView->setScrollDirection(ui::CollectionView::ScrollDirection::Horizontal);
    collectionView->setSpacing(0);
    collectionView->setItemSize(cellSize_);
    collectionView->setFrameShape(QFrame::NoFrame);
    collectionView->setStyleSheet("QScrollBar:horizontal { height: 8px; }");
    return view;
}

void FeatureStripRowView::awakeFromNib() {
    FeatureRowView::awakeFromNib();
    view();
    collectionView->setItemFactory(cells_);
    collectionView->setDelegate(self());
}

void FeatureStripRowView::setShopGroupInfo(Ref<VnShopGroupInfo> record) {
    if (!keepRecord(std::move(record)))
        return;
    titleGroupTextField->setText(objectText(shopGroupInfo()->Title_));
    std::vector<plat::Value> content(entries().begin(), entries().end());
    collectionView->setContent(std::move(content));
}
