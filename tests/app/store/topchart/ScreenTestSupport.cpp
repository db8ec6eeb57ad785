#include "ScreenTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform_ui/ResourceRegistry.h"

namespace screen_test {

namespace {

// The program's pictures, and the application of a test process without one of its own (the
// screen tests' main makes one), made before the first test and gone before the process ends.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        ui::ResourceRegistry::shared().addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) /
                                                      "data" / "images");
        if (QApplication::instance())
            return;
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        application_ = std::make_unique<QApplication>(argc_, argv_.data());
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    std::string name_ = "varnel-store-screen-tests";
    std::array<char*, 2> argv_{name_.data(), nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(std::make_unique<ApplicationEnvironment>().release());

}  // namespace

Doubles::~Doubles() {
    for (const auto& [storyboard, identifier] : names_)
        ui::ResourceRegistry::shared().removeController(storyboard, identifier);
}

void Doubles::add(const std::string& storyboard, const std::string& identifier,
                  std::vector<std::string> answers) {
    names_.emplace_back(storyboard, identifier);
    auto& list = made_[identifier];
    ui::ResourceRegistry::shared().replaceController(
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
    ui::ResourceRegistry::shared().replaceController("", "UriDirect", [this, &list, overlayShown] {
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
