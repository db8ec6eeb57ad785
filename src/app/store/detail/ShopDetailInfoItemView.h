#pragma once
// ShopDetailInfoItemView: the "Detail" row of the item detail: the cover in its shadowed frame,
// names, ranks, categories, publisher, availability, member-only note and format, and the ten
// action groups (a framed button with a label in a container each; showing an action shows its
// container). It owns the row's state (ShopDetailInfoItemState), which does the work and renders
// into it; its buttons forward to the state.
#include <QPointer>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "app/store/detail/ShopDetailInfoItemModel.h"
#include "platform/core/Ref.h"

class QLabel;
class QPushButton;
class QtImageView;
class ShopDetailInfoItemState;
namespace ui {
class LayerView;
}

class ShopDetailInfoItemView : public QWidget {
  public:
    static constexpr const char* kIdentifier = "Detail";

    explicit ShopDetailInfoItemView(QWidget* parent = nullptr);
    ~ShopDetailInfoItemView() override;

    const Ref<ShopDetailInfoItemState>& state() const { return state_; }
    void render(const ShopDetailInfoItemModel& model, bool buyNowChecked);
    void loadCover(const std::optional<std::string>& url);

    // Outlets.
    QPointer<QLabel> magazineNameTextField, issueNameTextField, varnelRankTextField,
        categoryTextField, category2TestField, publisherTextField, typeTextField,
        digitalPriceTextField, subscriptionTextField, coverPriceTextField;
    QPointer<ui::LayerView> viewCover;
    const Ref<QtImageView>& coverBookImageView() const { return cover_; }
    struct Group {
        QPointer<QWidget> container;
        QPointer<QPushButton> button;
        QPointer<QLabel> label;
    };
    const Group& group(InfoItemGroup which) const { return groups_[static_cast<size_t>(which)]; }

  private:
    void btnBorder();
    Ref<ShopDetailInfoItemState> state_;
    Ref<QtImageView> cover_;
    std::array<Group, kInfoItemGroupCount> groups_;
};
