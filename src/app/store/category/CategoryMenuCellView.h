#pragma once
// CategoryMenuCellView: one entry of the category menu, a framed button with the entry's text
// ("Books" shows as "หนังสือ", "Magazines" as "นิตยสาร"; any other title keeps the cell's own
// text). A click marks the cell selected (red) and reports it to the grid's delegate as
// "categoryMenuCellSelectShopGroupInfo:".
#include <QPointer>

#include "platform_ui/CollectionView.h"

class QLabel;
class QPushButton;

class CategoryMenuCellView : public ui::CollectionViewItem {
    PLAT_CLASS(CategoryMenuCellView)
  public:
    static constexpr int kWidth = 130;
    static constexpr int kHeight = 32;

    void viewDidAppear() override;
    void setRepresentedObject(const plat::Value& object) override;
    void setSelected(bool selected) override;
    void itemButton_Click(Ref<plat::Object> sender);

    // Outlets.
    QPointer<QPushButton> menuButton;
    QPointer<QLabel> menuTextButton;

  protected:
    std::unique_ptr<QWidget> loadView() override;
};
