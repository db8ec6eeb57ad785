#include "app/store/feature/FeatureAdBannerItemView.h"

#include <QLabel>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/store/StoreMessages.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(FeatureAdBannerItemView, ui::ViewController, [](auto& c) {
    c.method(StoreScreenMessages::kSetShopGroupInfo, &FeatureAdBannerItemView::setShopGroupInfo)
        .method("adBannerButton_Click:", &FeatureAdBannerItemView::adBannerButton_Click);
})

void FeatureAdBannerItemView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier, [] {
        return ui::ViewController::create<FeatureAdBannerItemView>();
    });
}

std::unique_ptr<QWidget> FeatureAdBannerItemView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(760, 250);
    adBannerCoverImageView = new QLabel(view.get());  // children of the slide
    adBannerCoverImageView->setScaledContents(true);
    adBannerCoverImageView->setGeometry(view->rect());
    ui::setAutoresizingMask(adBannerCoverImageView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    coverImageView_ = QtImageView::make(adBannerCoverImageView);
    testTextField = new QLabel(view.get());
    testTextField->setGeometry(20, 20, 400, 24);
    testButton = new QPushButton(view.get());
    testButton->setFlat(true);
    testButton->setStyleSheet("background: transparent; border: none");
    testButton->setGeometry(view->rect());
    ui::setAutoresizingMask(testButton, ui::ViewWidthSizable | ui::ViewHeightSizable);
    QObject::connect(testButton, &QPushButton::clicked,
                     [weak = weakSelf<FeatureAdBannerItemView>()] {
                         if (auto slide = weak.lock())
                             slide->adBannerButton_Click(nullptr);
                     });
    return view;
}

void FeatureAdBannerItemView::setShopGroupInfo(Ref<VnShopGroupInfo> banner) {
    shopGroupInfo_ = std::move(banner);
    if (!shopGroupInfo_)
        return;
    view();
    coverImageView_->setImageWithURL(
        shopGroupInfo_->ImageUrl_, ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
    testTextField->setText("");
    testButton->setText("");
}

void FeatureAdBannerItemView::adBannerButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_.lock(), StoreListMessages::kFeatureAdBannerItemSelect,
                         self<FeatureAdBannerItemView>(), shopGroupInfo_);
}
