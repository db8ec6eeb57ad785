#include "app/widgets/UrlLinkWidget.h"

#include "app/links/UriDirect.h"
#include "app/links/VarnelUriData.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(UrlLinkWidget, LinkWidget, [](auto&) {})

void UrlLinkWidget::loadFromDictionary(const plat::Dictionary& description) {
    LinkWidget::loadFromDictionary(description);
    if (const auto* url = description.objectForKey("TargetURL").string())
        urlPath_ = *url;
    useOpenURL_ = boolForKey(description, "OpenInExternalApp", false);
}

void UrlLinkWidget::widgetTapped() {
    if (!urlPath_)
        return;
    if (!VarnelUriData::isVarnelURL(*urlPath_)) {
        openLink(*urlPath_);
        return;
    }
    // The program's own links go to its router, which reports to the widget's delegate.
    if (!urlDirect_)
        urlDirect_ = std::make_shared<UriDirect>();
    urlDirect_->initWithDelegate(delegate());
    urlDirect_->cancel();
    urlDirect_->redirectUri(*urlPath_);
}
