#pragma once
// CategoryCollectionCellView: one category tile: title, description and picture of the category,
// and a marker when it has sub-groups. A click on the tile reports the cell to the grid's delegate
// as "categoryCollectionCellSelected:".
#include <QPointer>

#include "platform_ui/CollectionView.h"

class QLabel;
class QPushButton;
class QtImageView;

class CategoryCollectionCellView : public ui::CollectionViewItem {
    PLAT_CLASS(CategoryCollectionCellView)
  public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 110;

    void viewDidLoad() override;
    void setRepresentedObject(const plat::Value& object) override;
    void selectItemButton_Click(Ref<plat::Object> sender);

    // Outlets.
    QPointer<QLabel> titleTextField;
    QPointer<QLabel> descriptionTextField;
    QPointer<QLabel> moreImageView;
    QPointer<QPushButton> selectButton;
    const Ref<QtImageView>& coverImageView() const { return coverImageView_; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // Shows the represented category.
    void fill();
    Ref<QtImageView> coverImageView_;
};
