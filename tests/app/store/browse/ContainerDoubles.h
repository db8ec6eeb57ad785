#pragma once
// Doubles of a store page container's children, made under their registry names: the main view
// (when asked for), the item detail, the group item list, the overlay and the router are test
// objects that record what they are told; the back issues are a real (empty) screen, so that the
// placing of views shows. The router answers "code:<kind>:<code>" links as code-only links of that
// kind (book, magazine, issue, list, featured), opens https links through the URL opener and
// answers nothing else.
#include <any>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/UrlOpener.h"
#include "platform_ui/ViewController.h"
#include "support/DynamicObject.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace testing_support {

// A store group with a title and, when given, a link.
inline Ref<VnShopGroupInfo> shopGroup(const std::string& title,
                                      std::optional<std::string> link = {}) {
    auto info = std::make_shared<VnShopGroupInfo>();
    info->Title_ = title;
    info->LinkUrl_ = std::move(link);
    return info;
}

class ContainerDoubles {
  public:
    using Made = std::vector<Ref<DynamicObject>>;

    // A main view double made under (storyboard, identifier), answering the given messages;
    // onMainDelegate runs when it is given its delegate.
    void installMain(std::string storyboard, std::string identifier,
                     std::vector<const char*> answers,
                     std::function<void(const Ref<plat::Object>&)> onMainDelegate = {}) {
        mainName_ = {std::move(storyboard), std::move(identifier)};
        ui::ResourceRegistry::shared().replaceController(
            mainName_.first, mainName_.second, [this, answers, onMainDelegate] {
                auto main = maker(mains, answers)();
                auto* raw = static_cast<DynamicObject*>(main.get());
                if (onMainDelegate)
                    raw->on("setDelegate:", [onMainDelegate](plat::Args& a) {
                        onMainDelegate(std::any_cast<Ref<plat::Object>>(a[0]));
                        return std::any();
                    });
                return main;
            });
    }

    // The doubles of the other children, the overlay and the router.
    void install() {
        auto& registry = ui::ResourceRegistry::shared();
        registry.replaceController(
            "ShopDetailStoryboard", "ShopDetailMainView",
            maker(details, {"setDelegate:", "setIsBook:", "setCurrentGroupInfo:", "setHeaderTitle:",
                            "setMagazineIssueInfo:"}));
        registry.replaceController(
            "", "ShopCategoryMainViewController",
            maker(lists, {"setDelegate:", "setShopGroupInfo:", "setCurrentCodeSort:"}));
        registry.replaceController("", "HZLoading", maker(loadings, {"setDelegate:"}));
        registry.replaceController("", "ShopBackIssueViewController", [this] {
            auto screen = ui::ViewController::create<ui::ViewController>();
            backIssues.push_back(screen);
            return std::static_pointer_cast<plat::Object>(screen);
        });
        registry.replaceController("", "UriDirect", [this] { return makeRouter(); });
        ui::UrlOpener::setHandler([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
    }

    void uninstall() {
        ui::UrlOpener::setHandler(nullptr);
        auto& registry = ui::ResourceRegistry::shared();
        if (!mainName_.second.empty())
            registry.removeController(mainName_.first, mainName_.second);
        for (const auto& [storyboard, name] : std::vector<std::pair<const char*, const char*>>{
                 {"ShopDetailStoryboard", "ShopDetailMainView"},
                 {"", "ShopCategoryMainViewController"},
                 {"", "HZLoading"},
                 {"", "ShopBackIssueViewController"},
                 {"", "UriDirect"}})
            registry.removeController(storyboard, name);
    }

    Made mains, details, lists, loadings, routers;
    std::vector<Ref<ui::ViewController>> backIssues;
    std::vector<std::string> opened;
    // Asked while the router works, when set.
    std::function<bool()> overlayShown;
    std::vector<bool> overlayWhileRouting;

  private:
    static std::function<Ref<plat::Object>()> maker(Made& made, std::vector<const char*> answers) {
        return [&made, answers] {
            auto object = DynamicObject::make();
            for (const char* sel : answers)
                object->on(sel);
            made.push_back(object);
            return std::static_pointer_cast<plat::Object>(object);
        };
    }

    Ref<plat::Object> makeRouter() {
        auto router = DynamicObject::make();
        DynamicObject* self = router.get();
        router->on("initWithDelegate:", [this](plat::Args& a) {
            routerDelegate_ = std::any_cast<Ref<plat::Object>>(a[0]);
            return std::any();
        });
        router->on("cancel").on("setIsUseCodeOnly:");
        router->on("redirectUri:", [this, self](plat::Args& a) {
            const auto url = std::any_cast<std::string>(a[0]);
            if (overlayShown)
                overlayWhileRouting.push_back(overlayShown());
            const auto code = url.substr(url.rfind(':') + 1);
            const Ref<plat::Object> me = self->self();
            const std::vector<std::pair<const char*, const char*>> kinds = {
                {"code:book:", "UriDirect:webLinkByBookInfoCode:"},
                {"code:magazine:", "UriDirect:webLinkByMagazineInfoCode:"},
                {"code:issue:", "UriDirect:webLinkByMagazineIssueInfoCode:"},
                {"code:list:", "UriDirect_WidgetCode:withIssueList:"},
                {"code:featured:", "UriDirect_WidgetCode:withFeatured:"}};
            for (const auto& [prefix, callback] : kinds) {
                if (url.starts_with(prefix))
                    plat::sendIfResponds(routerDelegate_, callback, me, code);
            }
            if (url.starts_with("https:") && ui::UrlOpener::openUrl(url))
                plat::sendIfResponds(routerDelegate_, "UriDirect_WebLinkComplete:", me);
            return std::any();
        });
        routers.push_back(router);
        return router;
    }

    std::pair<std::string, std::string> mainName_;
    WeakRef<plat::Object> routerDelegate_;
};

}  // namespace testing_support
