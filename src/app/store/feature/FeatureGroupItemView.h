#pragma once
// FeatureGroupItemView: a feature page's item row (Type 3): a title and a see-all button over a
// sideways strip of covers. It reports to its delegate (the page)
// "featureGroupItemView:selectShopGroupInfo:withHeaderGroupInfo:" (row, entry, the row's record)
// for a clicked cover and "featureGroupItemView:selectSeeAll:" (row, record).
#include "app/store/feature/FeatureRowView.h"

class QPushButton;

class FeatureGroupItemView : public FeatureStripRowView {
    PLAT_CLASS(FeatureGroupItemView)
  public:
    static constexpr const char* kIdentifier = "GroupItemCell";
    static constexpr int kHeight = 250;

    FeatureGroupItemView();
    const std::vector<Ref<VnShopGroupInfo>>& shopGroupItemArray() const { return entries(); }
    void bookCoverCollectionCellSelect(Ref<plat::Object> cell);
    void seeAllButton_Click(Ref<plat::Object> sender);

    // Outlets.
    QPointer<QPushButton> seeAllButton;

  protected:
    std::unique_ptr<QWidget> loadView() override;
};
