#include "ScreenTestSupport.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform_ui/ResourceRegistry.h"

namespace screen_test {

void ensureApplication() {
    if (QApplication::instance())
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "varnel-store-screen-tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    addPictures();
}

void addPictures() {
    static const bool added = [] {
        ui::ResourceRegistry::shared().addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) /
                                                      "data" / "images");
        return true;
    }();
    (void)added;
}

Doubles::~Doubles() {
    for (const auto& [storyboard, identifier] : names_)
        ui::ResourceRegistry::shared().registerController(storyboard, identifier, nullptr);
}

void Doubles::add(const std::string& storyboard, const std::string& identifier,
                  std::vector<std::string> answers) {
    names_.emplace_back(storyboard, identifier);
    auto& list = made_[identifier];
    ui::ResourceRegistry::shared().registerController(
        storyboard, identifier, [&list, answers = std::move(answers)] {
            auto object = DynamicObject::make();
            for (const auto& sel : answers)
                object->on(sel);
            list.push_back(object);
            return std::static_pointer_cast<plat::Object>(object);
        });
}

void Doubles::addRouter(std::function<bool()> overlayShown) {
    names_.emplace_back("", "UriDirect");
    auto& list = made_["UriDirect"];
    ui::ResourceRegistry::shared().registerController("", "UriDirect", [this, &list, overlayShown] {
        auto router = DynamicObject::make();
        DynamicObject* self = router.get();
        router->on("initWithDelegate:", [this](plat::Args& a) {
            routerDelegate_ = std::any_cast<Ref<plat::Object>>(a[0]);
            return std::any();
        });
        router->on("cancel").on("setIsUseCodeOnly:");
        router->on("redirectUri:", [this, self, overlayShown](plat::Args& a) {
            const auto url = std::any_cast<std::string>(a[0]);
            overlayWhileRouting.push_back(overlayShown());
            static const std::map<std::string, std::string> kCallbacks = {
                {"code:book:", "UriDirect:webLinkByBookInfoCode:"},
                {"code:magazine:", "UriDirect:webLinkByMagazineInfoCode:"},
                {"code:issue:", "UriDirect:webLinkByMagazineIssueInfoCode:"},
                {"code:list:", "UriDirect_WidgetCode:withIssueList:"},
                {"code:featured:", "UriDirect_WidgetCode:withFeatured:"}};
            const Ref<plat::Object> me = self->self();
            for (const auto& [prefix, callback] : kCallbacks)
                if (url.starts_with(prefix))
                    plat::sendIfResponds(routerDelegate_, plat::Selector(callback), me,
                                         url.substr(prefix.size()));
            if (url.starts_with("https:"))
                plat::sendIfResponds(routerDelegate_, "UriDirect_WebLinkComplete:", me);
            return std::any();
        });
        list.push_back(router);
        return std::static_pointer_cast<plat::Object>(router);
    });
}

}  // namespace screen_test
