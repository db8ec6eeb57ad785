#include "app/widgets/WidgetKinds.h"

#include "app/issueui/WidgetFactory.h"
#include "app/widgets/EmailLinkWidget.h"
#include "app/widgets/ImageWidget.h"
#include "app/widgets/PageLinkWidget.h"
#include "app/widgets/UrlLinkWidget.h"
#include "app/widgets/WidgetViewMakers.h"

void registerWidgetKinds() {
    WidgetFactory::registerWidgetClass<UrlLinkWidget>("UrlLinkWidget");
    WidgetFactory::registerWidgetClass<EmailLinkWidget>("EmailLinkWidget");
    WidgetFactory::registerWidgetClass<PageLinkWidget>("PageLinkWidget");
    WidgetFactory::registerWidgetClass<ImageWidget>("ImageWidget");
    installWidgetViewMakers();
}

void registerWidgetResources(ui::ResourceRegistry&) {
    registerWidgetKinds();
}
