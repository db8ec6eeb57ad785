#include "app/widgets/WidgetKinds.h"

#include "app/issueui/WidgetFactory.h"
#include "app/widgets/AudioPlayerWidget.h"
#include "app/widgets/EmailLinkWidget.h"
#include "app/widgets/ImageScrollWidget.h"
#include "app/widgets/ImageView360Widget.h"
#include "app/widgets/ImageWidget.h"
#include "app/widgets/MediaSupport.h"
#include "app/widgets/PageLinkWidget.h"
#include "app/widgets/PictureScroller.h"
#include "app/widgets/PictureViewMakers.h"
#include "app/widgets/PopupVideoButton.h"
#include "app/widgets/SlideshowButton.h"
#include "app/widgets/UrlLinkWidget.h"
#include "app/widgets/VideoAsset.h"
#include "app/widgets/WidgetViewMakers.h"

void registerWidgetKinds() {
    WidgetFactory::registerWidgetClass<UrlLinkWidget>("UrlLinkWidget");
    WidgetFactory::registerWidgetClass<EmailLinkWidget>("EmailLinkWidget");
    WidgetFactory::registerWidgetClass<PageLinkWidget>("PageLinkWidget");
    WidgetFactory::registerWidgetClass<ImageWidget>("ImageWidget");
    WidgetFactory::registerWidgetClass<ImageScrollWidget>("ImageScrollWidget");
    WidgetFactory::registerWidgetClass<ImageView360Widget>("ImageView360Widget");
    WidgetFactory::registerWidgetClass<SlideshowButton>("SlideshowButton");
    WidgetFactory::registerWidgetClass<VideoAsset>("VideoAsset");
    WidgetFactory::registerWidgetClass<PopupVideoButton>("PopupVideoButton");
    WidgetFactory::registerWidgetClass<AudioPlayerWidget>("AudioPlayerWidget");
    installWidgetViewMakers();
    installPictureViewMakers();
    PlayerWidgetView::installViewMaker();
}

void registerWidgetResources(ui::ResourceRegistry& registry) {
    registerWidgetKinds();
    PictureScroller::registerNib(registry);
}
