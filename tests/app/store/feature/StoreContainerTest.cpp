// The store page container over doubles: children, overlay, popup and router are test objects
// made under their registry names; the router double answers as the real one does for the
// links the tests use.
#include <gtest/gtest.h>

#include <QWidget>
#include <string>
#include <vector>

#include "app/store/StoreResources.h"
#include "app/store/browse/OffscreenApplication.h"
#include "app/store/feature/ShopFeatureViewController.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/UrlOpener.h"
#include "support/DynamicObject.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::DynamicObject;
using testing_support::sentArgument;

namespace {

Ref<VnShopGroupInfo> group(const std::string& title, std::optional<std::string> link) {
    auto info = std::make_shared<VnShopGroupInfo>();
    info->Title_ = title;
    info->LinkUrl_ = std::move(link);
    return info;
}

class StoreContainerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& registry = ui::ResourceRegistry::shared();
        registerStoreResources(registry);
        auto maker = [](std::vector<Ref<DynamicObject>>& made, std::vector<const char*> answers) {
            return [&made, answers] {
                auto object = DynamicObject::make();
                for (const char* sel : answers)
                    object->on(sel);
                made.push_back(object);
                return std::static_pointer_cast<plat::Object>(object);
            };
        };
        registry.replaceController("ShopFeatureStoryboard", "ShopFeatureMain",
                                   maker(mains, {"setDelegate:", "setFeatureCode:"}));
        registry.replaceController(
            "ShopDetailStoryboard", "ShopDetailMainView",
            maker(details, {"setDelegate:", "setIsBook:", "setCurrentGroupInfo:", "setHeaderTitle:",
                            "setMagazineIssueInfo:"}));
        registry.replaceController(
            "", "ShopCategoryMainViewController",
            maker(lists, {"setDelegate:", "setShopGroupInfo:", "setCurrentCodeSort:"}));
        registry.replaceController("", "HZLoading", maker(loadings, {"setDelegate:"}));
        registry.replaceController("PreviewPopupStoryboard", "PreviewPopupMainView",
                                   maker(popups, {"setDelegate:", "setMagazineIssueInfo:"}));
        // The back issues are a real controller, so that the placing of views is seen.
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

    void TearDown() override {
        ui::UrlOpener::setHandler(nullptr);
        // The doubles keep what they were sent, the container among it: that goes with the test.
        for (auto* made : {&mains, &details, &lists, &loadings, &popups, &routers})
            for (const auto& object : *made)
                for (const auto& sel : object->calls())
                    object->arguments(sel).clear();
        for (const auto& [storyboard, name] : std::vector<std::pair<const char*, const char*>>{
                 {"ShopFeatureStoryboard", "ShopFeatureMain"},
                 {"ShopDetailStoryboard", "ShopDetailMainView"},
                 {"PreviewPopupStoryboard", "PreviewPopupMainView"},
                 {"", "ShopCategoryMainViewController"},
                 {"", "HZLoading"},
                 {"", "ShopBackIssueViewController"},
                 {"", "UriDirect"}})
            ui::ResourceRegistry::shared().removeController(storyboard, name);
    }

    // Links of the form "code:<kind>:<code>" answer as code-only links of that kind; web links
    // open through the URL opener; anything else gets no answer.
    Ref<plat::Object> makeRouter() {
        auto router = DynamicObject::make();
        DynamicObject* self = router.get();
        router->on("initWithDelegate:", [this](plat::Args& a) {
            routerDelegate = std::any_cast<Ref<plat::Object>>(a[0]);
            return std::any();
        });
        router->on("cancel").on("setIsUseCodeOnly:");
        router->on("redirectUri:", [this, self](plat::Args& a) {
            const auto url = std::any_cast<std::string>(a[0]);
            overlayWhileRouting.push_back(container->isOverlayShown());
            const auto code = url.substr(url.rfind(':') + 1);
            const Ref<plat::Object> me = self->self();
            if (url.starts_with("code:book:"))
                plat::sendIfResponds(routerDelegate, "UriDirect:webLinkByBookInfoCode:", me, code);
            else if (url.starts_with("code:magazine:"))
                plat::sendIfResponds(routerDelegate, "UriDirect:webLinkByMagazineInfoCode:", me,
                                     code);
            else if (url.starts_with("code:list:"))
                plat::sendIfResponds(routerDelegate, "UriDirect_WidgetCode:withIssueList:", me,
                                     code);
            else if (url.starts_with("code:featured:"))
                plat::sendIfResponds(routerDelegate, "UriDirect_WidgetCode:withFeatured:", me,
                                     code);
            else if (url.starts_with("https:") && ui::UrlOpener::openUrl(url))
                plat::sendIfResponds(routerDelegate, "UriDirect_WebLinkComplete:", me);
            return std::any();
        });
        routers.push_back(router);
        return router;
    }

    std::vector<Ref<DynamicObject>> mains, details, lists, loadings, popups, routers;
    std::vector<Ref<ui::ViewController>> backIssues;
    std::vector<std::string> opened;
    std::vector<bool> overlayWhileRouting;
    WeakRef<plat::Object> routerDelegate;
    Ref<ShopFeatureViewController> container;
};

TEST_F(StoreContainerTest, SeeAllListsAndLinksMoveBetweenChildrenWithTheOverlay) {
    container = ui::ResourceRegistry::shared().instantiate<ShopFeatureViewController>(
        "ShopFeatureStoryboard", "ShopFeatureViewController");
    ASSERT_TRUE(container);
    container->setFeatureCode("0.feature_book");
    container->view()->resize(900, 700);
    container->view()->show();
    ASSERT_EQ(mains.size(), 1u);
    EXPECT_EQ(sentArgument<std::string>(*mains[0], "setFeatureCode:", 0), "0.feature_book");
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(*mains[0], "setDelegate:", 0), container);
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(*loadings.at(0), "setDelegate:", 0), container);
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(*popups.at(0), "setDelegate:", 0), container);
    EXPECT_EQ(container->currentChild(), mains[0]);
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_FALSE(container->isPreviewShown());
    EXPECT_EQ(container->shopGroupItems().size(), 7u);

    // See-all of a group without a link: the group item list with that group, no overlay.
    const auto recent = group("มาใหม่", "");
    plat::send(container, "shopFeatureMainView:selectSeeAll:", mains[0], recent);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(*lists[0], "setShopGroupInfo:", 0), recent);
    EXPECT_EQ(container->currentChild(), lists[0]);
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_TRUE(routers.empty());

    // Back from the list releases it; a see-all with a list link shows the overlay while the
    // router works and hides it in the same step, with a new list of the link's code.
    plat::send(container, "shopCategoryMainView:backToTopView:", lists[0], std::string());
    EXPECT_FALSE(container->shopCategoryMainView());
    EXPECT_EQ(container->currentChild(), mains[0]);
    plat::send(container, "shopFeatureMainView:selectSeeAll:", mains[0],
               group("ขายดี", "code:list:77.paid"));
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(sentArgument<std::string>(*lists[1], "setCurrentCodeSort:", 0), "77.paid");
    EXPECT_EQ(container->currentChild(), lists[1]);
    EXPECT_EQ(overlayWhileRouting, std::vector<bool>{true});
    EXPECT_FALSE(container->isOverlayShown());
    ASSERT_EQ(routers.size(), 1u);
    EXPECT_EQ(routers[0]->count("setIsUseCodeOnly:"), 1u);

    // An entry chosen in the list: overlay on, the detail made and told, nothing shown yet. A
    // second entry while it loads reuses the same detail; a banner entry has no group title.
    plat::send(container, "shopCategoryMainView:selectShopGroupInfo:withHeaderGroupInfo:", lists[1],
               group("เล่มหนึ่ง", "code:book:B1"), group("ขายดี", std::nullopt));
    ASSERT_EQ(details.size(), 1u);
    EXPECT_TRUE(container->isOverlayShown());
    EXPECT_EQ(sentArgument<bool>(*details[0], "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<std::string>(*details[0], "setHeaderTitle:", 0), "หนังสือ / ขายดี");
    EXPECT_EQ(container->currentChild(), lists[1]);
    const auto second = group("ฉบับใหม่", "code:magazine:M2");
    plat::send(container, "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:", mains[0],
               second, Ref<VnShopGroupInfo>());
    ASSERT_EQ(details.size(), 1u);
    EXPECT_EQ(sentArgument<bool>(*details[0], "setIsBook:", 1), false);
    EXPECT_EQ(sentArgument<Ref<VnShopGroupInfo>>(*details[0], "setCurrentGroupInfo:", 1), second);
    EXPECT_EQ(sentArgument<std::string>(*details[0], "setHeaderTitle:", 1), "นิตยสาร");
    EXPECT_EQ(routers.size(), 1u);  // one router, kept
    EXPECT_EQ(routers[0]->count("cancel"), 3u);

    // The detail's data arrives: overlay off, the detail in place of the list.
    plat::send(container, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(container->currentChild(), details[0]);

    // Back issues and back keep the detail; the back-issue view fills the content area.
    auto magazine = std::make_shared<VnMagazineInfo>();
    plat::send(container, "shopDetailMainView:seeAllBackIssue:", details[0], magazine);
    ASSERT_EQ(backIssues.size(), 1u);
    EXPECT_EQ(container->currentChild(), backIssues[0]);
    QWidget* backIssueView = backIssues[0]->view();
    EXPECT_EQ(backIssueView->parentWidget(), container->mainView.data());
    EXPECT_EQ(backIssueView->geometry(), container->mainView->rect());
    EXPECT_TRUE(backIssueView->isVisible());
    plat::send(container, "shopBackIssueView:backFromBackIssueView:", backIssues[0], std::string());
    EXPECT_FALSE(container->shopBackIssueView());
    EXPECT_EQ(container->currentChild(), details[0]);
    // A chosen back issue goes to the same detail without a new load of the entry.
    plat::send(container, "shopDetailMainView:seeAllBackIssue:", details[0], magazine);
    auto issue = std::make_shared<VnMagazineIssueInfo>();
    plat::send(container, "shopBackIssueView:selectMagazineIssueInfo:", backIssues[1], issue);
    EXPECT_EQ(container->currentChild(), details[0]);
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(*details[0], "setMagazineIssueInfo:", 0),
              issue);
    EXPECT_EQ(details[0]->count("setCurrentGroupInfo:"), 2u);
    EXPECT_FALSE(backIssues[1]->view()->parentWidget());

    // Back from the detail releases it; the next entry gets a new one. The list stays made.
    plat::send(container, "shopDetailMainView:backToTopView:", details[0], std::string());
    EXPECT_FALSE(container->shopDetailMainView());
    EXPECT_EQ(container->currentChild(), mains[0]);
    EXPECT_EQ(container->shopCategoryMainView(), lists[1]);
    plat::send(container, "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:", mains[0],
               group("อีกเล่ม", "code:book:B3"), group("แนะนำ", ""));
    EXPECT_EQ(details.size(), 2u);
    EXPECT_EQ(sentArgument<std::string>(*details[1], "setHeaderTitle:", 0), "หนังสือ / แนะนำ");
}

TEST_F(StoreContainerTest, WebFeaturedCancelAndPreviewAndTheCallbacksAnswered) {
    container = ui::ResourceRegistry::shared().instantiate<ShopFeatureViewController>(
        "ShopFeatureStoryboard", "ShopFeatureViewController");
    container->view();
    const auto main = mains.at(0);

    // A web link opens outside and takes the overlay away.
    plat::send(container, "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:", main,
               group("โฆษณา", "https://example.org/promo"), Ref<VnShopGroupInfo>());
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/promo"});
    EXPECT_FALSE(container->isOverlayShown());

    // A featured link and a link without answer leave the overlay until cancel, which only
    // hides it: a detail that finishes afterwards is still shown.
    plat::send(container, "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:", main,
               group("x", "code:featured:9"), Ref<VnShopGroupInfo>());
    EXPECT_TRUE(container->isOverlayShown());
    plat::send(container, "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:", main,
               group("y", std::nullopt), Ref<VnShopGroupInfo>());
    EXPECT_TRUE(container->isOverlayShown());
    EXPECT_EQ(container->currentChild(), main);
    plat::send(container, "shopFeatureMainView:selectShopGroupInfo:withHeaderGroupInfo:", main,
               group("z", "code:book:B9"), Ref<VnShopGroupInfo>());
    plat::send(container, "HZLoading_CancelClick:", loadings.at(0));
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(container->currentChild(), main);
    plat::send(container, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_EQ(container->currentChild(), details.at(0));

    // Loading reports of the main view and the detail drive the overlay.
    plat::send(container, "shopFeatureMainViewStartDownloading");
    EXPECT_TRUE(container->isOverlayShown());
    plat::send(container, "shopFeatureMainViewLoadComplete");
    EXPECT_FALSE(container->isOverlayShown());
    plat::send(container, "shopDetailMainViewStartLoading");
    EXPECT_TRUE(container->isOverlayShown());
    plat::send(container, "shopDetailMainViewLoadComplete");
    EXPECT_FALSE(container->isOverlayShown());

    // The preview area shows the issue and is emptied on close.
    auto issue = std::make_shared<VnMagazineIssueInfo>();
    plat::send(container, "shopDetailMainView:previewMagazineIssueInfo:", details[0], issue);
    EXPECT_TRUE(container->isPreviewShown());
    EXPECT_EQ(sentArgument<Ref<VnMagazineIssueInfo>>(*popups[0], "setMagazineIssueInfo:", 0),
              issue);
    plat::send(container, "previewPopupMainViewClose");
    EXPECT_FALSE(container->isPreviewShown());
    EXPECT_FALSE(sentArgument<Ref<VnMagazineIssueInfo>>(*popups[0], "setMagazineIssueInfo:", 1));

    // The router's other callbacks are not answered, so they are never sent.
    EXPECT_TRUE(container->respondsToSelector("UriDirect:webLinkByMagazineIssueInfoCode:"));
    EXPECT_TRUE(container->respondsToSelector("UriDirect_WidgetCode:withFeatured:"));
    EXPECT_FALSE(container->respondsToSelector("UriDirect_CompleteLoad:"));
    EXPECT_FALSE(container->respondsToSelector("UriDirect:webLinkByBookInfo:"));
    EXPECT_FALSE(container->respondsToSelector("shopDetailInfoItemStartLoading"));
}

}  // namespace
