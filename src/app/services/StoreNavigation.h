#pragma once
// StoreNavigation: what the main window asks of the store: the store's pages it shows (a feature
// page for a feature code, the top charts, the categories, browsing, the item detail, the search
// page), each told who its delegate is, and a search started on the search page. The store
// offers it. A page is a screen controller; null when the store has none of that kind.
#include <string>

#include "platform/core/Ref.h"

namespace plat {
class Object;
}

class StoreNavigation {
  public:
    static constexpr const char* kSeamName = "StoreNavigation";
    virtual ~StoreNavigation() = default;

    enum class Page { TopChart, Category, Browse, Detail, Search };

    virtual Ref<plat::Object> makeFeaturePage(const std::string& featureCode,
                                              const Ref<plat::Object>& delegate) = 0;
    virtual Ref<plat::Object> makePage(Page page, const Ref<plat::Object>& delegate) = 0;
    // The search page (one that makePage(Page::Search) made) searches for the text.
    virtual void startSearch(const Ref<plat::Object>& searchPage, const std::string& text) = 0;
};
