#include "app/store/category/CategoryCollectionCellView.h"

#include <QLabel>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(CategoryCollectionCellView, ui::CollectionViewItem, [](auto& c) {
    c.method("selectItemButton_Click:", &CategoryCollectionCellView::selectItemButton_Click);
})

std::unique_ptr<QWidget> CategoryCollectionCellView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    auto* cover = new QLabel(view.get());
    cover->setGeometry(5, 5, 75, 100);
    cover->setScaledContents(true);
    coverImageView_ = QtImageView::make(cover);
    titleTextField = new QLabel(view.get());
    titleTextField->setFont(ui::thaiCapableFont(14));
    titleTextField->setGeometry(90, 10, 180, 22);
    descriptionTextField = new QLabel(view.get());
    descriptionTextField->setWordWrap(true);
    descriptionTextField->setStyleSheet("color: gray");
    descriptionTextField->setGeometry(90, 36, 180, 60);
    moreImageView = new QLabel(QString::fromUtf8("›"), view.get());
    moreImageView->setGeometry(276, 40, 20, 30);
    selectButton = new QPushButton(view.get());
    selectButton->setFlat(true);
    selectButton->setStyleSheet("background: transparent; border: none");
    selectButton->setGeometry(0, 0, kWidth, kHeight);
    QObject::connect(selectButton, &QPushButton::clicked,
                     [weak = weakSelf<CategoryCollectionCellView>()] {
                         if (auto cell = weak.lock())
                             cell->selectItemButton_Click(nullptr);
                     });
    return view;
}

void CategoryCollectionCellView::viewDidLoad() {
    ui::CollectionViewItem::viewDidLoad();
    fill();
}

void CategoryCollectionCellView::setRepresentedObject(const plat::Value& object) {
    ui::CollectionViewItem::setRepresentedObject(object);
    if (isViewLoaded())
        fill();
}

void CategoryCollectionCellView::fill() {
    const auto category = representedObject().as<VnShopGroupInfo>();
    if (!category)
        return;
    titleTextField->setText(objectText(category->Title_));
    descriptionTextField->setText(objectText(category->Description_));
    coverImageView_->setImageWithURL(
        category->ImageUrl_, ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
    moreImageView->setHidden(category->subgroupCount() == 0);
}

void CategoryCollectionCellView::selectItemButton_Click(Ref<plat::Object>) {
    ui::CollectionView* grid = collectionView();
    plat::sendIfResponds(grid ? grid->delegate() : nullptr, StoreListMessages::kCategoryCellSelect,
                         self());
}
