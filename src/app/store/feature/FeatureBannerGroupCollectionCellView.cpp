#include "app/store/feature/FeatureBannerGroupCollectionCellView.h"

#include <QLabel>
#include <QPainterPath>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "platform/core/Log.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(FeatureBannerGroupCollectionCellView, ui::CollectionViewItem, [](auto& c) {
    c.method("banner_Click:", &FeatureBannerGroupCollectionCellView::banner_Click);
})

namespace {

// A picture label whose corners are cut round, as a layer that masks to its bounds.
class RoundedImageLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), FeatureBannerGroupCollectionCellView::kCornerRadius,
                            FeatureBannerGroupCollectionCellView::kCornerRadius);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
};

}  // namespace

void FeatureBannerGroupCollectionCellView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier, [] {
        return ui::ViewController::create<FeatureBannerGroupCollectionCellView>();
    });
}

Ref<FeatureBannerGroupCollectionCellView>
FeatureBannerGroupCollectionCellView::makeFromStoryboard() {
    if (auto cell =
            ui::ResourceRegistry::shared().instantiate<FeatureBannerGroupCollectionCellView>(
                kStoryboard, kIdentifier))
        return cell;
    return ui::ViewController::create<FeatureBannerGroupCollectionCellView>();
}

std::unique_ptr<QWidget> FeatureBannerGroupCollectionCellView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    frame_ = new ui::LayerView(view.get());  // children of the cell
    frame_->setGeometry(view->rect().adjusted(3, 3, -3, -3));
    bannerImageView = new RoundedImageLabel(frame_);
    bannerImageView->setScaledContents(true);
    bannerImageView->setGeometry(frame_->rect());
    imageView_ = QtImageView::make(bannerImageView);
    auto* button = new QPushButton(frame_);
    button->setFlat(true);
    button->setStyleSheet("background: transparent; border: none");
    button->setGeometry(frame_->rect());
    QObject::connect(button, &QPushButton::clicked,
                     [weak = weakSelf<FeatureBannerGroupCollectionCellView>()] {
                         if (auto cell = weak.lock())
                             cell->banner_Click(nullptr);
                     });
    return view;
}

Ref<VnShopGroupInfo> FeatureBannerGroupCollectionCellView::shopGroupInfo() const {
    return representedObject().as<VnShopGroupInfo>();
}

void FeatureBannerGroupCollectionCellView::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    const auto banner = shopGroupInfo();
    if (!banner)
        return;
    view();
    imageView_->setImageWithURL(banner->ImageUrl_,
                                ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
    ui::LayerStyle style = coverShadowStyle();
    style.cornerRadius = kCornerRadius;
    frame_->setLayerStyle(style);
}

void FeatureBannerGroupCollectionCellView::banner_Click(Ref<plat::Object>) {
    plat::systemLog("double click in the collectionItem");
    if (ui::CollectionView* strip = collectionView())
        plat::sendIfResponds(strip->delegate(), StoreListMessages::kBannerGroupCellSelect,
                             self<FeatureBannerGroupCollectionCellView>());
}
