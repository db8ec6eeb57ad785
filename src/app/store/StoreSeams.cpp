#include "app/store/StoreSeams.h"

#include "app/services/StoreNavigation.h"
#include "app/store/StoreMessages.h"
#include "app/store/StoreResources.h"
#include "platform/core/Log.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewController.h"

namespace {

// Tells a page a message when it answers it; a page that refuses the argument is said in the log
// rather than ending the program.
template <class S, class... A>
void tell(const Ref<plat::Object>& page, const plat::Message<S>& message, A&&... args) {
    try {
        plat::sendIfResponds(page, message, std::forward<A>(args)...);
    } catch (const plat::Exception& e) {
        plat::log(plat::format("%s refused %s: %s", page->className().c_str(), message.text(),
                               e.reason().c_str()));
    }
}

// The page registered under the name; null (said in the log) when none is.
Ref<plat::Object> instantiatePage(ui::ScreenName name) {
    Ref<plat::Object> made = ui::ResourceRegistry::shared().instantiateController(name);
    if (std::dynamic_pointer_cast<ui::ViewController>(made))
        return made;
    plat::log(plat::format("No screen \"%s\" in \"%s\"", name.identifier, name.storyboard));
    return nullptr;
}

ui::ScreenName nameOf(StoreNavigation::Page page) {
    switch (page) {
        case StoreNavigation::Page::TopChart:
            return StoreScreens::kTopChart;
        case StoreNavigation::Page::Category:
            return StoreScreens::kCategory;
        case StoreNavigation::Page::Browse:
            return StoreScreens::kBrowse;
        case StoreNavigation::Page::Detail:
            return StoreScreens::kDetail;
        case StoreNavigation::Page::Search:
            return StoreScreens::kSearch;
    }
    return StoreScreens::kTopChart;
}

class StorePages : public StoreNavigation {
  public:
    Ref<plat::Object> makeFeaturePage(const std::string& featureCode,
                                      const Ref<plat::Object>& delegate) override {
        Ref<plat::Object> made = instantiatePage(StoreScreens::kFeature);
        if (made) {
            tell(made, StoreScreenMessages::kSetFeatureCode, featureCode);
            tell(made, StoreScreenMessages::kSetDelegate, delegate);
        }
        return made;
    }

    Ref<plat::Object> makePage(Page page, const Ref<plat::Object>& delegate) override {
        Ref<plat::Object> made = instantiatePage(nameOf(page));
        if (made && delegate)
            tell(made, StoreScreenMessages::kSetDelegate, delegate);
        return made;
    }

    void startSearch(const Ref<plat::Object>& searchPage, const std::string& text) override {
        tell(searchPage, StoreScreenMessages::kStartSearch, text);
    }
};

}  // namespace

std::shared_ptr<StoreNavigation> makeStoreNavigation() {
    return std::make_shared<StorePages>();
}
