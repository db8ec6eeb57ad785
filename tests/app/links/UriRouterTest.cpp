// The link router over the demo library: code-only answers, loads reported after the end of the
// call and then from the router's cache (kept apart by loader family), the tables that report
// nothing, group links, web links handed to the desktop only for web and mail addresses, and a
// delegate that goes away.
#include <gtest/gtest.h>

#include "app/links/LinkResources.h"
#include "app/links/UriDirect.h"
#include "demo-service/DemoService.h"
#include "demo-service/V2WebMethods.h"
#include "demo-service/V3StoreService.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/FreshProcessState.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/UrlOpener.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

namespace {

std::string codeOf(const Ref<VnInfo>& info) {
    return info ? info->code().value_or("<none>") : "<null>";
}

// Writes every report as one line "<callback> <argument>".
class LinkScreen : public plat::Object {
    PLAT_CLASS(LinkScreen)
  public:
    void magazine(Ref<plat::Object>, Ref<VnMagazineInfo> m) { add("magazine", codeOf(m)); }
    void priceList(Ref<plat::Object>, Ref<VnMagazineInfo> m) { add("pricelist", codeOf(m)); }
    void issue(Ref<plat::Object>, Ref<VnMagazineIssueInfo> i) { add("issue", codeOf(i)); }
    void book(Ref<plat::Object>, Ref<VnMagazineIssueInfo> b) { add("book", codeOf(b)); }
    void magazines(Ref<plat::Object>, Ref<VnMagazineCategoryInfo> c) {
        add("allMagazines", codeOf(c));
    }
    void books(Ref<plat::Object>, Ref<VnMagazineCategoryInfo> c) { add("allBooks", codeOf(c)); }
    void magazineCode(Ref<plat::Object>, std::string code) { add("magazineCode", code); }
    void issueCode(Ref<plat::Object>, std::string code) { add("issueCode", code); }
    void bookCode(Ref<plat::Object>, std::string code) { add("bookCode", code); }
    void list(Ref<plat::Object>, Ref<VnShopGroupInfo> g) { add("list", codeOf(g)); }
    void featured(Ref<plat::Object>, Ref<VnShopGroupInfo> g) { add("featured", codeOf(g)); }
    void listCode(Ref<plat::Object>, std::string code) { add("listCode", code); }
    void featuredCode(Ref<plat::Object>, std::string code) { add("featuredCode", code); }
    void audio(Ref<plat::Object>, std::string code) { add("audio", code); }
    void promotion(std::optional<std::string> key) { add("promotion", key.value_or("<nil>")); }
    void message(bool inbox, int32_t number) {
        add("message", std::string(inbox ? "inbox " : "new ") + std::to_string(number));
    }
    void webDone(Ref<plat::Object> router) { add("web", router ? "router" : "<null>"); }
    void complete(Ref<plat::Object>) { add("complete", ""); }
    void failed(Ref<plat::Object>) { add("failed", ""); }

    std::vector<std::string> lines;

  private:
    void add(const std::string& name, const std::string& argument) {
        lines.push_back(argument.empty() ? name : name + " " + argument);
    }
};

}  // namespace

PLAT_DEFINE_CLASS(LinkScreen, plat::Object, [](auto& c) {
    c.method("UriDirect:webLinkByMagazineInfo:", &LinkScreen::magazine)
        .method("UriDirect:webLinkByMagazineInfoPriceList:", &LinkScreen::priceList)
        .method("UriDirect:webLinkByMagazineIssueInfo:", &LinkScreen::issue)
        .method("UriDirect:webLinkByBookInfo:", &LinkScreen::book)
        .method("UriDirect_SeeAllMagazines:withCategory:", &LinkScreen::magazines)
        .method("UriDirect_SeeAllBooks:withCategory:", &LinkScreen::books)
        .method("UriDirect:webLinkByMagazineInfoCode:", &LinkScreen::magazineCode)
        .method("UriDirect:webLinkByMagazineIssueInfoCode:", &LinkScreen::issueCode)
        .method("UriDirect:webLinkByBookInfoCode:", &LinkScreen::bookCode)
        .method("UriDirect_Widget:withIssueList:", &LinkScreen::list)
        .method("UriDirect_Widget:withFeatured:", &LinkScreen::featured)
        .method("UriDirect_WidgetCode:withIssueList:", &LinkScreen::listCode)
        .method("UriDirect_LoadFailed:", &LinkScreen::failed)
        .method("UriDirect_WidgetCode:withFeatured:", &LinkScreen::featuredCode)
        .method("UriDirect_AudioDetail:withAudioId:", &LinkScreen::audio)
        .method("UriDirect_openPromotionalWithKey:", &LinkScreen::promotion)
        .method("UriDirect_openMessageIsInbox:withMessageId:", &LinkScreen::message)
        .method("UriDirect_WebLinkComplete:", &LinkScreen::webDone)
        .method("UriDirect_CompleteLoad:", &LinkScreen::complete);
})

namespace {

using Lines = std::vector<std::string>;

class UriRouterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing_support::beginFreshProcessState(environment);
        demo::registerVersion2Methods(service, catalogue);
        ASSERT_TRUE(service.start());
        demo::registerStoreService(store, catalogue, "VARNEL", demo::kDemoAuthorizationToken);
        ASSERT_TRUE(store.start());
        auto configuration = std::make_shared<VnClientServiceConfiguration>();
        configuration->setAppCode("VARNEL");
        configuration->setAuthorizationToken(demo::kDemoAuthorizationToken);
        configuration->setStoreServiceURL(store.serviceUrl());
        context = VnBookStoreContextFactory(*plat::Url::parse(service.serviceUrl()), configuration)
                      .newContext();
        ui::UrlOpener::setHandler([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
        router = makeRouter(screen);
    }

    void TearDown() override {
        ui::UrlOpener::setHandler(nullptr);
        router.reset();
        context.reset();
        plat::RunLoop::current().runUntil([] { return false; }, 0.02);
        testing_support::endFreshProcessState();
    }

    Ref<UriDirect> makeRouter(const Ref<plat::Object>& delegate) {
        auto made = std::make_shared<UriDirect>();
        made->initWithDelegate(delegate);
        WeakRef<VnBookStoreContext> weakContext = context;
        made->setUserContextSource([weakContext] {
            auto c = weakContext.lock();
            return c ? c->activeUserContext() : nullptr;
        });
        return made;
    }

    // Follows the link; answers what was reported before the call returned.
    Lines follow(const std::string& url) {
        screen->lines.clear();
        router->redirectUri(url);
        return screen->lines;
    }
    // Runs until `count` lines are there (or the time is up), then a little more.
    Lines settle(size_t count) {
        plat::RunLoop::current().runUntil([&] { return screen->lines.size() >= count; }, 15);
        plat::RunLoop::current().runUntil([] { return false; }, 0.1);
        return screen->lines;
    }
    // Runs until the store has answered one more call of the method, then a little more.
    Lines settleAfter(const char* method, size_t callsBefore) {
        plat::RunLoop::current().runUntil(
            [&] { return store.requestsForMethod(method).size() > callsBefore; }, 15);
        plat::RunLoop::current().runUntil([] { return false; }, 0.3);
        return screen->lines;
    }
    size_t storeCalls() const { return store.requests().size(); }
    size_t storeCalls(const char* method) const { return store.requestsForMethod(method).size(); }

    testing_support::ScopedEnvironment environment;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    Ref<VnBookStoreContext> context;
    Ref<LinkScreen> screen = std::make_shared<LinkScreen>();
    Ref<UriDirect> router;
    std::vector<std::string> opened;
};

TEST_F(UriRouterTest, CodeOnlyLinksAnswerAtOnceAndOtherTablesAsTheyStand) {
    router->setIsUseCodeOnly(true);
    const size_t before = storeCalls();
    EXPECT_EQ(follow("varnel.kel://shop/magazine?id=A"), (Lines{"magazineCode A", "complete"}));
    EXPECT_EQ(follow("varnel.kel://widget/newspaper/issue?id=N"),
              (Lines{"issueCode N", "complete"}));
    EXPECT_EQ(follow("varnel.kel://shop/book/issue?id=B"), (Lines{"bookCode B", "complete"}));
    EXPECT_EQ(follow("varnel.kel://shop/book/list?id=G"), (Lines{"listCode G", "complete"}));
    EXPECT_EQ(follow("varnel.kel://widget/magazine/featured"), (Lines{"featuredCode", "complete"}));
    EXPECT_EQ(follow("varnel.kel://shop/newspaper/category?id=C"),
              (Lines{"allMagazines C", "complete"}));
    EXPECT_EQ(follow("varnel.kel://shop/book/category?id=D"), (Lines{"allBooks D", "complete"}));
    EXPECT_EQ(follow("varnel.kel://shop/audio?id=A"), (Lines{"audio A", "complete"}));
    EXPECT_EQ(storeCalls(), before);  // nothing loaded

    // Tables that report nothing but the end of the call.
    for (const char* quiet :
         {"varnel.kel://shop/book/pricelist?id=A", "varnel.kel://widget/audio?id=A",
          "varnel.kel://shop/audio/issue?id=A", "varnel.kel://shop?id=A",
          "varnel.kel://library/book/issue?id=X&download=1", "varnel.kel://app/magazine",
          "varnel.kel:///magazine?id=A", "varnel.kel://Shop/magazine?id=A",
          "varnel.kel://u/mn/KEY"})
        EXPECT_EQ(follow(quiet), (Lines{"complete"})) << quiet;

    EXPECT_EQ(follow("varnel.kel://mes/mn/17"), (Lines{"message new 17", "complete"}));
    EXPECT_EQ(follow("varnel.kel://mes/mi"), (Lines{"message inbox 0", "complete"}));
    EXPECT_EQ(follow("varnel.kel://mes/x/-3abc"), (Lines{"message new -3", "complete"}));
    EXPECT_EQ(follow("varnel.kel://mes/mi/99999999999"),
              (Lines{"message inbox 2147483647", "complete"}));
    EXPECT_EQ(follow("varnel.kel://u/r"), (Lines{"promotion <nil>", "complete"}));
    EXPECT_EQ(follow("varnel.kel://u/r/SPR%20ING?x=1"), (Lines{"promotion SPR ING", "complete"}));

    // Other links: web and mail addresses open, anything else is only logged.
    EXPECT_EQ(follow("https://example.com/a?b=c"), (Lines{"web router", "complete"}));
    EXPECT_EQ(follow("MAILTO:help@example.com"), (Lines{"web router", "complete"}));
    EXPECT_EQ(follow("file:///etc/passwd"), (Lines{"web router", "complete"}));
    EXPECT_EQ(follow("Varnel.kel://shop/magazine?id=A"), (Lines{"web router", "complete"}));
    EXPECT_EQ(follow("javascript:alert(1)"), (Lines{"web router", "complete"}));
    EXPECT_EQ(opened,
              (std::vector<std::string>{"https://example.com/a?b=c", "MAILTO:help@example.com"}));
}

TEST_F(UriRouterTest, LoadsReportAfterTheCallThenFromTheirOwnFamilysCache) {
    EXPECT_EQ(follow("varnel.kel://shop/magazine?id=MG01"), (Lines{"complete"}));
    EXPECT_EQ(settle(2), (Lines{"complete", "magazine MG01"}));
    const size_t afterLoad = storeCalls();
    EXPECT_EQ(follow("varnel.kel://shop/magazine?id=MG01"), (Lines{"magazine MG01", "complete"}));
    // The price list shares the magazine's record; the issue and the book of one code do not.
    EXPECT_EQ(follow("varnel.kel://shop/newspaper/pricelist?id=MG01"),
              (Lines{"pricelist MG01", "complete"}));
    EXPECT_EQ(storeCalls(), afterLoad);

    EXPECT_EQ(follow("varnel.kel://shop/magazine/issue?id=MG01-2403"), (Lines{"complete"}));
    EXPECT_EQ(settle(2), (Lines{"complete", "issue MG01-2403"}));
    // The book loader asks again for the same code rather than take the issue record.
    EXPECT_EQ(follow("varnel.kel://shop/book?id=MG01-2403"), (Lines{"complete"}));
    EXPECT_EQ(settle(2), (Lines{"complete", "book MG01-2403"}));
    EXPECT_EQ(follow("varnel.kel://shop/book/issue?id=BK0003"), (Lines{"complete"}));
    EXPECT_EQ(settle(2), (Lines{"complete", "book BK0003"}));
    EXPECT_EQ(router->cachedRecordCount(), 4U);

    // Two loads in a row: the first is cancelled, only the second reports.
    follow("varnel.kel://shop/book?id=BK0001");
    router->redirectUri("varnel.kel://shop/book?id=BK0002");
    EXPECT_EQ(settle(3), (Lines{"complete", "complete", "book BK0002"}));
    // A cancelled load reports nothing; one that finds no record says so, and no record comes.
    follow("varnel.kel://shop/book?id=BK0004");
    router->cancel();
    plat::RunLoop::current().runUntil([] { return false; }, 1.0);
    EXPECT_EQ(screen->lines, (Lines{"complete"}));
    follow("varnel.kel://shop/book?id=NO-SUCH-BOOK");
    EXPECT_EQ(settle(2), (Lines{"complete", "failed"}));

    // Groups: the first entry of the loaded group; a group with no entries reports nothing.
    follow("varnel.kel://widget/magazine/list?id=0.feature_magazine");
    EXPECT_EQ(settle(2), (Lines{"complete", "list 0.feature_magazine"}));
    follow("varnel.kel://shop/book/featured?id=0.feature_book");
    EXPECT_EQ(settle(2), (Lines{"complete", "featured 0.feature_book"}));
    const size_t groupCalls = storeCalls("GetWidgetInfo");
    follow("varnel.kel://shop/book/featured?id=0.feature_empty");
    EXPECT_EQ(settleAfter("GetWidgetInfo", groupCalls), (Lines{"complete", "failed"}));
}

TEST_F(UriRouterTest, RoutersMadeByNameReportNothingOnceTheirScreenIsGone) {
    ui::ResourceRegistry registry;
    registerLinkResources(registry);
    auto made = registry.instantiateController("", "UriDirect");
    ASSERT_TRUE(made);
    auto gone = std::make_shared<LinkScreen>();
    plat::send(made, "initWithDelegate:", std::static_pointer_cast<plat::Object>(gone));
    plat::send(made, "setIsUseCodeOnly:", true);
    plat::send(made, "redirectUri:", std::string("varnel.kel://shop/magazine?id=A"));
    EXPECT_EQ(gone->lines, (Lines{"magazineCode A", "complete"}));
    EXPECT_TRUE(plat::send<bool>(made, "isUseCodeOnly"));
    plat::send(made, "cancel");

    // A load whose screen goes before it finishes; a screen that answers nothing.
    router = makeRouter(gone);
    router->redirectUri("varnel.kel://shop/magazine?id=MG02");
    gone.reset();
    router->redirectUri("varnel.kel://shop/book?id=BK0005");
    plat::RunLoop::current().runUntil([] { return false; }, 1.0);
    router = makeRouter(std::make_shared<plat::Object>());
    router->redirectUri("https://example.com/");
    router->redirectUri("varnel.kel://mes/mi/1");
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.com/"}));
}

}  // namespace
