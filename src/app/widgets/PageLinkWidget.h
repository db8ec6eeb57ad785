#pragma once
// PageLinkWidget: a page area that asks the reader to go to another page of the issue. A press
// posts "BookViewController_JumpToPage" on the default notification centre with the widget as
// object, "TargetPageIndex" (zero-based: "TargetPageNumber" minus one, -1 when absent) and,
// when the link names a page, "TargetPageName". It has no view of its own, only its button.
#include "app/widgets/LinkWidget.h"

extern const char* const kJumpToPageNotification;

class PageLinkWidget : public LinkWidget {
    PLAT_CLASS(PageLinkWidget)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    Ref<WidgetView> newWidgetView(const QRectF&) override { return nullptr; }
    void widgetTapped() override;

    int32_t targetPageIndex() const { return targetPageIndex_; }
    const std::optional<std::string>& targetPageName() const { return targetPageName_; }

  private:
    int32_t targetPageIndex_ = -1;
    std::optional<std::string> targetPageName_;
};
