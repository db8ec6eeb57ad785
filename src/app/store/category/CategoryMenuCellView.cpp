#include "app/store/category/CategoryMenuCellView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/store/StoreMessages.h"
#include "app/store/common/StoreSelectionLook.h"
#include "platform_ui/Controls.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(CategoryMenuCellView, ui::CollectionViewItem, [](auto& c) {
    c.method("itemButton_Click:", &CategoryMenuCellView::itemButton_Click);
})

namespace {
// The cell's own text, before an entry names it.
const QString kInterfaceText = QStringLiteral("Menu");
}  // namespace

std::unique_ptr<QWidget> CategoryMenuCellView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    menuButton = new QPushButton(view.get());
    menuButton->setCheckable(true);
    menuButton->setGeometry(0, 0, kWidth, kHeight);
    auto* layout = new QHBoxLayout(menuButton);
    layout->setContentsMargins(4, 2, 4, 2);
    menuTextButton = new QLabel(kInterfaceText, menuButton);
    menuTextButton->setFont(ui::thaiCapableFont());
    menuTextButton->setAlignment(Qt::AlignCenter);
    menuTextButton->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(menuTextButton);
    QObject::connect(menuButton, &QPushButton::clicked, [weak = weakSelf<CategoryMenuCellView>()] {
        if (auto cell = weak.lock())
            cell->itemButton_Click(nullptr);
    });
    return view;
}

void CategoryMenuCellView::setRepresentedObject(const plat::Value& object) {
    ui::CollectionViewItem::setRepresentedObject(object);
    if (menuTextButton)
        menuTextButton->setText(kInterfaceText);
}

void CategoryMenuCellView::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    const auto entry = representedObject().as<VnShopGroupInfo>();
    if (!entry || (entry->Title_ != "Books" && entry->Title_ != "Magazines"))
        return;
    menuTextButton->setText(QString::fromUtf8(entry->Title_ == "Books" ? "หนังสือ" : "นิตยสาร"));
    showSelectionLook(menuButton, menuTextButton, isSelected());
}

void CategoryMenuCellView::itemButton_Click(Ref<plat::Object>) {
    ui::CollectionView* grid = collectionView();
    const auto delegate = grid ? grid->delegate() : nullptr;
    if (!delegate ||
        !plat::respondsToSelector(delegate, StoreListMessages::kCategoryMenuCellSelect))
        return;
    setSelected(true);
    plat::send(delegate, StoreListMessages::kCategoryMenuCellSelect, self());
}

void CategoryMenuCellView::setSelected(bool selected) {
    ui::CollectionViewItem::setSelected(selected);
    view();
    menuButton->setChecked(selected);
    showSelectionLook(menuButton, menuTextButton, selected);
}
