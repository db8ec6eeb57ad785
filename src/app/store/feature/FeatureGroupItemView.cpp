#include "app/store/feature/FeatureGroupItemView.h"

#include <QPushButton>

#include "app/store/StoreMessages.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(FeatureGroupItemView, FeatureStripRowView, [](auto& c) {
    using V = FeatureGroupItemView;
    c.method(StoreListMessages::kBookCoverCellSelect, &V::bookCoverCollectionCellSelect)
        .method("seeAllButton_Click:", &V::seeAllButton_Click);
})

FeatureGroupItemView::FeatureGroupItemView()
    : FeatureStripRowView(
          kHeight, {BookCoverCollectionCellView::kWidth, BookCoverCollectionCellView::kHeight},
          [] { return BookCoverCollectionCellView::makeFromStoryboard(); }) {}

std::unique_ptr<QWidget> FeatureGroupItemView::loadView() {
    auto view = FeatureStripRowView::loadView();
    seeAllButton = new QPushButton(QString::fromUtf8("ดูทั้งหมด"), view.get());  // the row's
    seeAllButton->setFont(ui::thaiCapableFont(12));
    seeAllButton->setGeometry(view->width() - 120, 2, 100, 22);
    ui::setAutoresizingMask(seeAllButton, ui::ViewMinXMargin);
    QObject::connect(seeAllButton, &QPushButton::clicked,
                     [weak = weakSelf<FeatureGroupItemView>()] {
                         if (auto row = weak.lock())
                             row->seeAllButton_Click(nullptr);
                     });
    return view;
}

void FeatureGroupItemView::bookCoverCollectionCellSelect(Ref<plat::Object> cell) {
    plat::systemLog("Double clicked on icon: ShopInfo");
    auto cover = std::dynamic_pointer_cast<BookCoverCollectionCellView>(cell);
    plat::sendIfResponds(delegate(), StoreListMessages::kFeatureGroupItemSelect,
                         self<FeatureGroupItemView>(),
                         cover ? cover->shopGroupInfo() : Ref<VnShopGroupInfo>(), shopGroupInfo());
}

void FeatureGroupItemView::seeAllButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate(), StoreListMessages::kFeatureGroupItemSeeAll,
                         self<FeatureGroupItemView>(), shopGroupInfo());
}
