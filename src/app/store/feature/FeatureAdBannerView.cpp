#include "app/store/feature/FeatureAdBannerView.h"

#include "app/store/StoreMessages.h"
#include "app/store/feature/FeatureAdBannerItemView.h"
#include "app/store/feature/MIHSliderView.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(FeatureAdBannerView, FeatureRowView, [](auto& c) {
    using V = FeatureAdBannerView;
    c.method(StoreScreenMessages::kSetShopGroupInfo, &V::setShopGroupInfo)
        .method(StoreListMessages::kFeatureAdBannerItemSelect,
                &V::featureAdBannerItemViewSelectBanner);
})

FeatureAdBannerView::~FeatureAdBannerView() {
    if (slider_)
        slider_->setScheduledTransition(false);
}

std::unique_ptr<QWidget> FeatureAdBannerView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(760, kHeight);
    mainView = new QWidget(view.get());  // a child of the row
    mainView->setGeometry(view->rect());
    ui::setAutoresizingMask(mainView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    return view;
}

void FeatureAdBannerView::awakeFromNib() {
    FeatureRowView::awakeFromNib();
    view();
    slider_ = MIHSliderView::make(mainView->size());
    QWidget* sliderView = slider_->view();
    sliderView->setParent(mainView);
    sliderView->setGeometry(mainView->rect());
    ui::setAutoresizingMask(sliderView, ui::ViewMinXMargin | ui::ViewWidthSizable |
                                            ui::ViewMaxXMargin | ui::ViewMinYMargin |
                                            ui::ViewHeightSizable | ui::ViewMaxYMargin);
    slider_->setTransitionStyle(MIHSliderView::kPushFromRight);
    slider_->setScheduledTransitionInterval(kSlideInterval);
    slider_->setScheduledTransition(true);
    slider_->setRepeatingScheduledTransition(true);
}

void FeatureAdBannerView::setShopGroupInfo(Ref<VnShopGroupInfo> record) {
    if (!keepRecord(std::move(record)))
        return;
    slider_->removeAllSlide();
    slides_.clear();
    for (const auto& banner : entries()) {
        auto slide = ui::ResourceRegistry::shared().instantiate<FeatureAdBannerItemView>(
            FeatureAdBannerItemView::kStoryboard, FeatureAdBannerItemView::kIdentifier);
        if (!slide)
            slide = ui::ViewController::create<FeatureAdBannerItemView>();
        slide->setDelegate(self());
        slide->view();
        slide->setShopGroupInfo(banner);
        slide->view()->setGeometry(slider_->view()->rect());
        slider_->addSlide(slide);
        slides_.push_back(std::move(slide));
    }
}

void FeatureAdBannerView::featureAdBannerItemViewSelectBanner(Ref<plat::Object>,
                                                              Ref<VnShopGroupInfo> banner) {
    plat::sendIfResponds(delegate(), StoreListMessages::kFeatureAdBannerSelect,
                         self<FeatureAdBannerView>(), banner);
}
