#pragma once
// UrlLinkWidget: a page area that opens a web address ("TargetURL") with the system's handler.
// "OpenInExternalApp" is kept but changes nothing: every address opens outside the program.
#include "app/widgets/LinkWidget.h"

class UrlLinkWidget : public LinkWidget {
    PLAT_CLASS(UrlLinkWidget)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    void widgetTapped() override;

    const std::optional<std::string>& urlPath() const { return urlPath_; }
    bool useOpenURL() const { return useOpenURL_; }

  private:
    std::optional<std::string> urlPath_;
    bool useOpenURL_ = false;
};
