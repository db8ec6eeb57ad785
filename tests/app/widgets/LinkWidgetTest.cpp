// Link widgets: page numbers and the jump notification, mail links and their escaping, which
// addresses reach the system, the button's look, presses and activation.
#include <gtest/gtest.h>

#include "app/issueui/IssueUITestSupport.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "app/widgets/EmailLinkWidget.h"
#include "app/widgets/PageLinkWidget.h"
#include "app/widgets/UrlLinkWidget.h"
#include "app/widgets/WidgetKinds.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform_ui/UrlOpener.h"

using namespace issueui_test;

namespace {

// A page widget that records when it is made inactive.
class SiblingWidget : public VisibleWidget {
  public:
    void didBecomeInactive() override {
        VisibleWidget::didBecomeInactive();
        ++inactive;
    }
    int inactive = 0;
};

class LinkWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WidgetFactory::unregisterAllWidgetClasses();
        registerWidgetKinds();
        WidgetViewFactory::removeAllMakers();  // views of no toolkit here
        ui::UrlOpener::setHandler([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
        observer = plat::NotificationCenter::defaultCenter().addObserver(
            [this](const plat::Notification& n) { jumps.push_back(n); }, kJumpToPageNotification);
    }
    void TearDown() override {
        plat::NotificationCenter::defaultCenter().removeObserver(observer);
        ui::UrlOpener::setHandler(nullptr);
        WidgetFactory::unregisterAllWidgetClasses();
    }

    template <class T>
    Ref<T> build(Entries description) {
        auto widget = WidgetFactory::widgetWithDictionary(dict(std::move(description)), nullptr);
        auto typed = std::dynamic_pointer_cast<T>(widget);
        EXPECT_TRUE(typed);
        return typed;
    }
    // A press on the widget's button, as its view sends it.
    static void press(const Ref<VisibleWidget>& widget) {
        ASSERT_TRUE(widget->button());
        plat::send(widget->button(), "frameButtonTouchUpInside:", nullptr);
    }

    std::vector<std::string> opened;
    std::vector<plat::Notification> jumps;
    plat::NotificationCenter::ObserverId observer = 0;
};

TEST_F(LinkWidgetTest, PageLinksPostZeroBasedIndexesAndTheirNameOnlyWhenNamed) {
    struct Case {
        plat::Value number;
        int32_t index;
    };
    const std::vector<Case> cases{{plat::Value(5), 4},
                                  {plat::Value("5"), 4},
                                  {plat::Value(), -1},
                                  {plat::Value(0), -1},
                                  {plat::Value("x"), -1},
                                  {plat::Value(int64_t{-9000000000}), -2147483648},
                                  {plat::Value(int64_t{9000000000}), 2147483646}};
    for (const auto& c : cases) {
        Entries description{{"WidgetType", "PageLink"}, {"Frame", "{{0,0},{100,40}}"}};
        if (!c.number.isNil())
            description.emplace_back("TargetPageNumber", c.number);
        auto link = build<PageLinkWidget>(description);
        ASSERT_TRUE(link);
        EXPECT_EQ(link->targetPageIndex(), c.index) << c.number.description();
    }

    // Both spellings of the type; the press goes through the button and leaves siblings alone.
    auto page = std::make_shared<VisibleWidget>();
    auto sibling = std::make_shared<SiblingWidget>();
    auto unnamed = build<PageLinkWidget>(
        {{"WidgetType", "PageLinkWidget"}, {"Frame", "{{0,0},{100,40}}"}, {"TargetPageNumber", 3}});
    auto named = build<PageLinkWidget>({{"WidgetType", "PageLink"},
                                        {"Frame", "{{0,0},{100,40}}"},
                                        {"TargetPageNumber", 3},
                                        {"PageName", "contents"}});
    page->addSubwidget(sibling);
    page->addSubwidget(unnamed);
    page->addSubwidget(named);
    press(unnamed);
    press(named);
    EXPECT_EQ(sibling->inactive, 0);
    ASSERT_EQ(jumps.size(), 2U);
    EXPECT_EQ(jumps[0].object, unnamed);
    ASSERT_TRUE(jumps[0].userInfo);
    EXPECT_EQ(jumps[0].userInfo->objectForKey("TargetPageIndex").intValue(), 2);
    EXPECT_TRUE(jumps[0].userInfo->objectForKey("TargetPageName").isNil());
    EXPECT_EQ(jumps[0].userInfo->count(), 1U);
    EXPECT_EQ(jumps[1].object, named);
    EXPECT_EQ(jumps[1].userInfo->objectForKey("TargetPageIndex").intValue(), 2);
    EXPECT_EQ(jumps[1].userInfo->objectForKey("TargetPageName").stringOr(), "contents");

    // No view of its own: attached, only its button shows in the host.
    auto host = std::make_shared<PlainWidgetView>();
    named->attachToView(host, QTransform(2, 0, 0, 2, 0, 0));
    EXPECT_FALSE(named->widgetView());
    ASSERT_TRUE(named->button()->widgetView());
    EXPECT_EQ(named->button()->widgetView()->frame(), QRectF(0, 0, 200, 80));
    named->detachFromView();
}

TEST_F(LinkWidgetTest, MailLinksEscapeEachPartAndTreatAbsentPartsAsEmpty) {
    auto plain = build<EmailLinkWidget>(
        {{"WidgetType", "EmailLink"}, {"Recipient", "a"}, {"Subject", "Hi there"}, {"Body", "x"}});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->mailLink(), "mailto:a?SUBJECT=Hi%20there&BODY=x");

    // The query's delimiters and "%" stay inside their part; "@", "/" and ":" are left alone;
    // text outside ASCII is escaped as UTF-8.
    auto reserved = build<EmailLinkWidget>({{"WidgetType", "EmailLink"},
                                            {"Recipient", "sales&x=1@example.com"},
                                            {"Subject", "A&B=C?D#E 100%"},
                                            {"Body", "see http://x/y: \xC3\xA9\n<ok>"}});
    EXPECT_EQ(reserved->mailLink(),
              "mailto:sales%26x%3D1@example.com?SUBJECT=A%26B%3DC%3FD%23E%20100%25"
              "&BODY=see%20http://x/y:%20%C3%A9%0A%3Cok%3E");

    // Absent parts give empty ones; a number is taken as its text.
    auto partial = build<EmailLinkWidget>({{"WidgetType", "EmailLink"}, {"Subject", 42}});
    EXPECT_EQ(partial->mailLink(), "mailto:?SUBJECT=42&BODY=");

    // A press opens the link; the siblings keep running.
    auto page = std::make_shared<VisibleWidget>();
    auto sibling = std::make_shared<SiblingWidget>();
    page->addSubwidget(sibling);
    page->addSubwidget(reserved);
    press(plain);
    press(reserved);
    press(partial);
    EXPECT_EQ(sibling->inactive, 0);
    EXPECT_EQ(opened, (std::vector<std::string>{plain->mailLink(), reserved->mailLink(),
                                                partial->mailLink()}));
}

TEST_F(LinkWidgetTest, OnlyWellFormedWebMailAndOwnAddressesReachTheSystem) {
    const std::vector<plat::Value> targets{plat::Value("http://example.com/a?b=c#d"),
                                           plat::Value("HTTPS://example.com/%20x"),
                                           plat::Value("mailto:a@example.com"),
                                           plat::Value("file:///etc/passwd"),
                                           plat::Value("javascript:alert(1)"),
                                           plat::Value("varnel://open"),
                                           plat::Value("http://exa mple.com"),
                                           plat::Value("http://example.com/%zz"),
                                           plat::Value("http://example.com/%2"),
                                           plat::Value(""),
                                           plat::Value("   "),
                                           plat::Value("://x"),
                                           plat::Value("http://\xC3\xA9.com"),
                                           plat::Value(12),
                                           plat::Value()};
    for (const auto& target : targets) {
        Entries description{{"WidgetType", "UrlLink"}, {"OpenInExternalApp", yes()}};
        if (!target.isNil())
            description.emplace_back("TargetURL", target);
        auto link = build<UrlLinkWidget>(description);
        ASSERT_TRUE(link);
        press(link);
    }
    // The program's own links are handed to the system as web links are.
    EXPECT_EQ(opened,
              (std::vector<std::string>{"http://example.com/a?b=c#d", "HTTPS://example.com/%20x",
                                        "mailto:a@example.com", "varnel://open"}));
    auto own = build<UrlLinkWidget>(
        {{"WidgetType", "UrlLink"}, {"TargetURL", "varnel.kel://shop/book/category?id=B1"}});
    press(own);
    EXPECT_EQ(opened.back(), "varnel.kel://shop/book/category?id=B1");
}

TEST_F(LinkWidgetTest, ButtonsAreUnderlinesWithoutIconsAndRunWhenActiveActsAtEachActivation) {
    auto underlined = build<UrlLinkWidget>({{"WidgetType", "UrlLink"}});
    ASSERT_TRUE(underlined->button());
    EXPECT_EQ(underlined->button()->frameStyle(), 0);
    EXPECT_FALSE(underlined->button()->iconVisible());

    // "VisualStyle" wins over the button's own frame style; an icon asked for stays.
    auto styled =
        build<PageLinkWidget>({{"WidgetType", "PageLink"},
                               {"VisualStyle", 1},
                               {"Button", dict({{kVN_CK_WidgetActionButton_FrameStyle, 2},
                                                {kVN_CK_WidgetActionButton_IconVisible, yes()}})}});
    EXPECT_EQ(styled->button()->frameStyle(), 1);
    EXPECT_TRUE(styled->button()->iconVisible());

    auto url = build<UrlLinkWidget>(
        {{"WidgetType", "UrlLink"}, {"RunWhenActive", yes()}, {"TargetURL", "https://a.example"}});
    auto mail = build<EmailLinkWidget>(
        {{"WidgetType", "EmailLink"}, {"RunWhenActive", yes()}, {"Recipient", "b"}});
    auto jump = build<PageLinkWidget>(
        {{"WidgetType", "PageLink"}, {"RunWhenActive", yes()}, {"TargetPageNumber", 2}});
    for (int round = 0; round < 2; ++round) {
        for (const Ref<VisibleWidget>& link :
             {Ref<VisibleWidget>(url), Ref<VisibleWidget>(mail), Ref<VisibleWidget>(jump)}) {
            link->didBecomeActive();
            link->didBecomeActive();  // already active: nothing more
            link->didBecomeInactive();
        }
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"https://a.example", "mailto:b?SUBJECT=&BODY=",
                                                "https://a.example", "mailto:b?SUBJECT=&BODY="}));
    ASSERT_EQ(jumps.size(), 2U);
    EXPECT_EQ(jumps[1].userInfo->objectForKey("TargetPageIndex").intValue(), 1);
}

}  // namespace
