#include "app/widgets/UrlLinkWidget.h"

#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(UrlLinkWidget, LinkWidget, [](auto&) {})

void UrlLinkWidget::loadFromDictionary(const plat::Dictionary& description) {
    LinkWidget::loadFromDictionary(description);
    if (const auto* url = description.objectForKey("TargetURL").string())
        urlPath_ = *url;
    useOpenURL_ = boolForKey(description, "OpenInExternalApp", false);
}

void UrlLinkWidget::widgetTapped() {
    if (urlPath_)
        openLink(*urlPath_);
}
