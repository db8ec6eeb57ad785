#pragma once
// LinkWidget: the base of the page areas that act when pressed (a web address, a mail message,
// a page of the issue). They show no picture of their own: what shows is their button, by
// default an underline without an icon; a "VisualStyle" in the description sets its frame style.
// A press acts at once, without making the page's other widgets inactive.
#include <string>

#include "app/issueui/VisibleWidget.h"

class LinkWidget : public VisibleWidget {
    PLAT_CLASS(LinkWidget)
  public:
    void buildDefaultButtonProperties(plat::MutableDictionary& properties) const override;
    void buildButtonInjectPropertyMap(
        std::vector<std::pair<std::string, std::string>>& map) const override;
    // Acts at once; the siblings keep running.
    void invokeButtonAction(const Ref<plat::Object>& sender) override;

    // Hands the address to the system when it is well formed and its scheme is http, https,
    // mailto or one of the program's own ("varnel..."); anything else is logged and dropped.
    // Answers whether it was handed over.
    static bool openLink(const std::string& url);
};
