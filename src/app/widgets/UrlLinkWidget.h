#pragma once
// UrlLinkWidget: a page area that opens a web address ("TargetURL") with the system's handler,
// or hands one of the program's own links ("varnel..." schemes) to the program's router, which
// reports to the widget's delegate. "OpenInExternalApp" is kept but changes nothing.
#include "app/widgets/LinkWidget.h"

class UriDirect;

class UrlLinkWidget : public LinkWidget {
    PLAT_CLASS(UrlLinkWidget)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    void widgetTapped() override;

    const std::optional<std::string>& urlPath() const { return urlPath_; }
    // The router of the last own link followed (kept while it loads).
    const Ref<UriDirect>& urlDirect() const { return urlDirect_; }
    bool useOpenURL() const { return useOpenURL_; }

  private:
    std::optional<std::string> urlPath_;
    bool useOpenURL_ = false;
    Ref<UriDirect> urlDirect_;
};
