// Visible widgets: buttons built from descriptions, anchors, the generic attach road, activation
// and presses, and trees from odd descriptions.
#include "IssueUITestSupport.h"
#include "app/issueui/ContainerWidget.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "platform/image/Image.h"

using namespace issueui_test;

namespace {

std::vector<std::string>& events() {
    static std::vector<std::string> list;
    return list;
}

// Records its taps and deactivations under the name its description gives ("Name").
class TapWidget : public VisibleWidget {
  public:
    void loadFromDictionary(const plat::Dictionary& description) override {
        VisibleWidget::loadFromDictionary(description);
        name = description.objectForKey("Name").stringOr("?");
    }
    void widgetTapped() override { events().push_back(name + " tapped"); }
    void didBecomeInactive() override {
        VisibleWidget::didBecomeInactive();
        events().push_back(name + " inactive");
    }
    std::vector<std::string> _requiredAssetFileIds() const override { return files; }
    std::string name;
    std::vector<std::string> files{"shared"};
};

// A link's button defaults and its "VisualStyle".
class LinkLikeWidget : public TapWidget {
  public:
    void buildDefaultButtonProperties(plat::MutableDictionary& properties) const override {
        VisibleWidget::buildDefaultButtonProperties(properties);
        properties.setObject(0, "FrameStyle");
        properties.setObject(plat::Value::boolean(false), "IconVisible");
    }
    void buildButtonInjectPropertyMap(
        std::vector<std::pair<std::string, std::string>>& map) const override {
        VisibleWidget::buildButtonInjectPropertyMap(map);
        map.emplace_back("VisualStyle", "FrameStyle");
    }
};

class RecordingOwner : public WidgetActionDelegate {
  public:
    void invokeButtonAction(const Ref<plat::Object>& sender) override { senders.push_back(sender); }
    std::vector<Ref<plat::Object>> senders;
};

template <class T>
Ref<T> make(Entries description) {
    return OverlayData::dataByDictionary<T>(*widgetDictionary(std::move(description)), nullptr);
}

Ref<PlainWidgetView> plain(const Ref<WidgetView>& view) {
    return std::dynamic_pointer_cast<PlainWidgetView>(view);
}

class VisibleWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        events().clear();
        WidgetViewFactory::removeAllMakers();
        WidgetFactory::unregisterAllWidgetClasses();
        WidgetFactory::registerWidgetClass<TapWidget>("ImageWidget");
        WidgetFactory::registerWidgetClass<LinkLikeWidget>("UrlLinkWidget");
    }
    void TearDown() override {
        WidgetFactory::unregisterAllWidgetClasses();
        WidgetViewFactory::removeAllMakers();
    }
};

}  // namespace

TEST_F(VisibleWidgetTest, ButtonsCoverTheWidgetWithTheirKindsDefaults) {
    auto widget = make<TapWidget>({{"Frame", "{10,20,100,40}"},
                                   {"Button", dict({{"Frame", "{0,0,5,5}"}, {"FrameStyle", 2}})}});
    auto button = widget->button();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->frame(), QRectF(10, 20, 100, 40));
    EXPECT_EQ(button->frameStyle(), 2);
    EXPECT_EQ(button->owner().get(), static_cast<WidgetActionDelegate*>(widget.get()));
    EXPECT_FALSE(button->hasButton());
    EXPECT_FALSE(button->button());

    // No "Button" at all: the base defaults.
    auto bare = make<TapWidget>({{"Frame", "{1,2,3,4}"}});
    ASSERT_TRUE(bare->button());
    EXPECT_EQ(bare->button()->frame(), QRectF(1, 2, 3, 4));
    EXPECT_EQ(bare->button()->frameStyle(), 1);
    EXPECT_TRUE(bare->button()->iconVisible());
    EXPECT_TRUE(bare->button()->iconUserInteractive());
    EXPECT_TRUE(bare->button()->backgroundInteractable());
    EXPECT_FALSE(bare->button()->pushedEffectEnabled());
    EXPECT_FALSE(bare->button()->isToggleButton());
    EXPECT_EQ(bare->button()->iconAlignment(), (WidgetAnchor{1, 1}));
    EXPECT_EQ(bare->button()->frameColor(), QColor(255, 255, 0));
    EXPECT_EQ(bare->button()->pushedBackgroundColor(), QColor(255, 255, 0));
    EXPECT_EQ(bare->button()->backgroundColor().alpha(), 0);
    EXPECT_EQ(bare->button()->blinkColor().alpha(), 0);

    // A link's defaults; its "VisualStyle" beats the button's own "FrameStyle".
    auto link = make<LinkLikeWidget>({{"Frame", "{0,0,10,10}"}});
    EXPECT_EQ(link->button()->frameStyle(), 0);
    EXPECT_FALSE(link->button()->iconVisible());
    auto styled =
        make<LinkLikeWidget>({{"Frame", "{0,0,10,10}"},
                              {"VisualStyle", 2},
                              {"Button", dict({{"FrameStyle", 0}, {"IconVisible", yes()}})}});
    EXPECT_EQ(styled->button()->frameStyle(), 2);
    EXPECT_TRUE(styled->button()->iconVisible());

    // An empty frame leaves the button its own; a "Button" that is no dictionary: no button.
    auto empty =
        make<TapWidget>({{"Button", dict({{"X", 4}, {"Y", 5}, {"Width", 6}, {"Height", 7}})}});
    EXPECT_EQ(empty->button()->frame(), QRectF(4, 5, 6, 7));
    auto listed = make<TapWidget>({{"Frame", "{0,0,10,10}"}, {"Button", list({})}});
    EXPECT_FALSE(listed->button());
    listed->didBecomeActive();
    listed->detachFromView();

    // The button does not keep its owner.
    auto orphan = bare->button();
    bare.reset();
    EXPECT_FALSE(orphan->owner());
    orphan->invokeButtonAction();
    EXPECT_EQ(VisibleWidget::stringFromRect(QRectF(1.5, -2, 3e10, 0.1)),
              "{{1.5, -2}, {3e+10, 0.1}}");
}

TEST_F(VisibleWidgetTest, ButtonKeysAnchorsIconsAndPresses) {
    EXPECT_EQ(WidgetAnchorFromNSString("{bottom,right}"), (WidgetAnchor{2, 2}));
    EXPECT_EQ(WidgetAnchorFromNSString("{Top,Left}"), (WidgetAnchor{0, 0}));
    EXPECT_EQ(WidgetAnchorFromNSString("{left,top}"), (WidgetAnchor{1, 1}));
    EXPECT_EQ(WidgetAnchorFromNSString("x{ \n top,center}"), (WidgetAnchor{1, 0}));
    EXPECT_EQ(WidgetAnchorFromNSString("{bottom ,right}"), (WidgetAnchor{2, 1}));
    EXPECT_EQ(WidgetAnchorFromNSString("{bottom}"), (WidgetAnchor{1, 1}));
    // A word without its "," or "}" runs to the end of the text; a missing word is center.
    EXPECT_EQ(WidgetAnchorFromNSString("{top"), (WidgetAnchor{1, 0}));
    EXPECT_EQ(WidgetAnchorFromNSString("{bottom,right"), (WidgetAnchor{2, 2}));
    EXPECT_EQ(WidgetAnchorFromNSString("{top,"), (WidgetAnchor{1, 0}));
    EXPECT_EQ(WidgetAnchorFromNSString("{,right}"), (WidgetAnchor{2, 1}));
    EXPECT_EQ(WidgetAnchorFromNSString("{ "), (WidgetAnchor{1, 1}));
    EXPECT_EQ(WidgetAnchorFromNSString("bottom,right"), (WidgetAnchor{1, 1}));
    EXPECT_EQ(WidgetAnchorFromNSString(std::nullopt), (WidgetAnchor{1, 1}));
    EXPECT_EQ(VertialAlignmentFromNSString("BOTTOM"), 2);
    EXPECT_EQ(HorizontalAlignmentFromNSString("middle"), 1);

    const QRectF icon(0, 0, 20, 20);
    const QRectF container(0, 0, 100, 40);
    EXPECT_EQ(VisibleWidget::alignRect(icon, container, {2, 2}), QRectF(80, 20, 20, 20));
    EXPECT_EQ(VisibleWidget::alignRect(icon, container, {1, 1}), QRectF(40, 10, 20, 20));
    EXPECT_EQ(VisibleWidget::alignRect(icon, QRectF(5, 6, 100, 40), {0, 0}), QRectF(5, 6, 20, 20));
    EXPECT_EQ(VisibleWidget::alignRect(icon, container, {7, -1}), QRectF(0, 0, 20, 20));
    EXPECT_EQ(VisibleWidget::alignRect(QRectF(0, 0, 140, 60), container, {1, 1}),
              QRectF(-20, -10, 140, 60));
    EXPECT_EQ(VisibleWidget::alignRect(QRectF(0, 0, 140, 60), container, {2, 2}),
              QRectF(-40, -20, 140, 60));

    auto button =
        make<WidgetActionButton>({{"Frame", "{0,0,100,40}"},
                                  {kVN_CK_WidgetActionButton_IconAnchor, "{bottom,right}"},
                                  {kVN_CK_WidgetActionButton_BlinkInterval, 0.5},
                                  {kVN_CK_WidgetActionButton_GroupId, "4"},
                                  {kVN_CK_WidgetActionButton_FrameColor, "red"},
                                  {kVN_CK_WidgetActionButton_IconUserInteractive, no()},
                                  {kVN_CK_WidgetActionButton_BackgroundInteractable, 0}});
    EXPECT_EQ(button->iconAlignment(), (WidgetAnchor{2, 2}));
    EXPECT_DOUBLE_EQ(button->blinkInterval(), 0.5);
    EXPECT_EQ(button->groupId(), 4);
    EXPECT_EQ(button->frameColor(), QColor(255, 255, 0));
    EXPECT_FALSE(button->iconUserInteractive());
    EXPECT_FALSE(button->backgroundInteractable());

    // The button's look comes from its maker, which hands the icon's view back.
    WidgetViewFactory::setMaker(
        WidgetActionButton::kViewKind,
        [](VisibleWidget& owner, const QRectF& frame) -> Ref<WidgetView> {
            auto& button = static_cast<WidgetActionButton&>(owner);
            auto view = std::make_shared<PlainWidgetView>("button", frame);
            auto icon = std::make_shared<PlainWidgetView>(
                "icon",
                VisibleWidget::alignRect(QRectF(0, 0, 20, 20), QRectF(QPointF(), frame.size()),
                                         button.iconAlignment()));
            view->addSubview(icon);
            button.setIconButton(icon);
            return view;
        });
    // A toggle without "PushedEffectEnabled" keeps the pushed colour; a plain push restores it;
    // a toggle with the effect off changes nothing. A press reaches the owner once.
    struct Case {
        Entries keys;
        std::vector<QColor> colours;
    };
    const QColor yellow(255, 255, 0), clear(0, 0, 0, 0);
    const std::vector<Case> cases{
        {{{kVN_CK_WidgetActionButton_IsToggleButton, yes()}}, {yellow}},
        {{{kVN_CK_WidgetActionButton_PushedEffectEnabled, yes()}}, {yellow, clear}},
        {{{kVN_CK_WidgetActionButton_IsToggleButton, yes()},
          {kVN_CK_WidgetActionButton_PushedEffectEnabled, no()}},
         {}},
        {{}, {}}};
    for (const auto& c : cases) {
        Entries keys = c.keys;
        keys.emplace_back("Frame", "{0,0,100,40}");
        auto pressed = make<WidgetActionButton>(keys);
        auto owner = std::make_shared<RecordingOwner>();
        pressed->setOwner(owner);
        pressed->invokeButtonAction();  // no view yet: no colour
        auto host = std::make_shared<PlainWidgetView>();
        pressed->attachToView(host, QTransform());
        auto view = plain(pressed->widgetView());
        ASSERT_TRUE(view);
        EXPECT_EQ(view->kind(), "button");
        EXPECT_EQ(pressed->iconButton()->frame(), QRectF(40, 10, 20, 20));
        plat::send(pressed, "frameButtonTouchUpInside:", nullptr);
        EXPECT_EQ(view->backgroundColors(), c.colours);
        ASSERT_EQ(owner->senders.size(), 2U);
        EXPECT_EQ(owner->senders[1], pressed);
    }

    // setIcon shows a new icon at once and leaves the icon view alone for the same one.
    auto iconImage = plat::Image::imageWithData(pngBytes(20, 20));
    auto host = std::make_shared<PlainWidgetView>();
    button->attachToView(host, QTransform());
    auto iconView = plain(button->iconButton());
    ASSERT_TRUE(iconView);
    EXPECT_EQ(iconView->frame(), QRectF(80, 20, 20, 20));
    button->setIcon(iconImage);
    button->setIcon(iconImage);
    EXPECT_EQ(iconView->imageChanges(), 1);
    EXPECT_EQ(button->icon(), iconImage);
    button->setIcon(nullptr);
    EXPECT_EQ(iconView->imageChanges(), 2);
}

TEST_F(VisibleWidgetTest, AttachingPlacesTheTreeAndDetachingTakesItAway) {
    auto widget = make<TapWidget>(
        {{"Frame", "{10,20,100,50}"},
         {"Name", "parent"},
         {"Subwidgets", list({dict({{"WidgetType", "ImageWidget"}, {"Frame", "{5,5,10,10}"}})})},
         {"AttachedWidgets",
          list({dict({{"WidgetType", "ImageWidget"}, {"Frame", "{200,300,10,10}"}})})}});
    ASSERT_EQ(widget->subwidgets().size(), 1U);
    ASSERT_EQ(widget->attachedWidgets().size(), 1U);
    auto sub = std::static_pointer_cast<VisibleWidget>(widget->subwidgets()[0]);
    auto attached = std::static_pointer_cast<VisibleWidget>(widget->attachedWidgets()[0]);
    EXPECT_EQ(sub->superwidget(), widget);
    EXPECT_EQ(attached->superwidget(), widget);

    auto host = std::make_shared<PlainWidgetView>("host", QRectF(0, 0, 400, 300));
    const QTransform page(2, 0, 0, 2, 100, 50);
    widget->attachToView(host, page);
    EXPECT_EQ(widget->attachedView(), host);
    EXPECT_EQ(widget->documentBounds(), QRectF(100, 50, 800, 600));
    EXPECT_EQ(widget->viewRectByUserRect(QRectF(0, 0, 1, 1)), QRectF(100, 50, 2, 2));
    auto view = widget->widgetView();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->frame(), QRectF(120, 90, 200, 100));
    // Host: the widget's view and its button's view; the sub-widget inside at scale 2 without
    // translation; the attached widget beside it with the page's own transformation.
    ASSERT_EQ(host->subviews().size(), 2U);
    EXPECT_EQ(host->subviews()[0], view);
    EXPECT_EQ(host->subviews()[1], widget->button()->widgetView());
    EXPECT_EQ(widget->button()->widgetView()->frame(), QRectF(120, 90, 200, 100));
    EXPECT_EQ(sub->attachedView(), view);
    EXPECT_EQ(sub->widgetView()->frame(), QRectF(10, 10, 20, 20));
    EXPECT_EQ(attached->attachedView(), view);
    EXPECT_EQ(attached->widgetView()->frame(), QRectF(500, 650, 20, 20));
    EXPECT_EQ(view->subviews().size(), 4U);  // sub, its button, attached, its button

    // Attaching to the same view again changes nothing.
    widget->attachToView(host, QTransform());
    EXPECT_EQ(widget->widgetView(), view);
    EXPECT_EQ(view->frame(), QRectF(120, 90, 200, 100));

    // Elsewhere: detached first (inactive), then a fresh view.
    events().clear();
    auto other = std::make_shared<PlainWidgetView>("other", QRectF(0, 0, 50, 50));
    widget->attachToView(other, QTransform());
    EXPECT_TRUE(host->subviews().empty());
    EXPECT_NE(widget->widgetView(), view);
    EXPECT_NE(std::find(events().begin(), events().end(), "parent inactive"), events().end());
    EXPECT_EQ(sub->widgetView()->frame(), QRectF(5, 5, 10, 10));

    widget->detachFromView();
    EXPECT_TRUE(other->subviews().empty());
    EXPECT_FALSE(widget->widgetView());
    EXPECT_FALSE(widget->attachedView());
    EXPECT_FALSE(sub->widgetView());
    // Attached widgets are not detached by their parent.
    EXPECT_TRUE(attached->attachedView());

    // A container places its sub-widgets straight into its host with the page transformation.
    auto root = std::make_shared<ContainerWidget>();
    auto child = make<TapWidget>({{"Frame", "{1,2,3,4}"}, {"Button", list({})}});
    root->addSubwidget(child);
    EXPECT_FALSE(root->newWidgetView(QRectF()));
    auto page2 = std::make_shared<PlainWidgetView>();
    root->attachToView(page2, page);
    EXPECT_FALSE(root->widgetView());
    ASSERT_EQ(page2->subviews().size(), 1U);
    EXPECT_EQ(page2->subviews()[0]->frame(), QRectF(102, 54, 6, 8));
    // Released without a detach, the widget detaches itself: its sub-widgets leave the host too.
    root.reset();
    EXPECT_TRUE(page2->subviews().empty());
    EXPECT_FALSE(child->attachedView());
}

TEST_F(VisibleWidgetTest, ActivationRunsOncePerActivationAndPressesStopTheSiblings) {
    auto root = std::make_shared<ContainerWidget>();
    auto first = make<TapWidget>({{"Name", "first"}, {"RunWhenActive", "yes"}});
    auto second = make<TapWidget>({{"Name", "second"}, {"LockReaderScrollWhenActive", 1}});
    root->addSubwidget(first);
    root->addSubwidget(second);
    EXPECT_TRUE(first->runWhenActive());
    EXPECT_TRUE(second->lockReaderScrollWhenActive());

    root->didBecomeActive();
    EXPECT_EQ(events(),
              (std::vector<std::string>{"first inactive", "second inactive", "first tapped"}));
    events().clear();
    root->didBecomeActive();  // already ran
    EXPECT_TRUE(events().empty());
    root->didBecomeInactive();
    events().clear();
    root->didBecomeActive();
    EXPECT_EQ(events().back(), "first tapped");

    // A press through the button: siblings first, then the widget's own action, once.
    events().clear();
    second->button()->invokeButtonAction();
    EXPECT_EQ(events(),
              (std::vector<std::string>{"first inactive", "second inactive", "second tapped"}));
    // Without a visible parent only the widget's own action runs.
    events().clear();
    auto lone = make<TapWidget>({{"Name", "lone"}});
    plat::send(lone, "invokeButtonAction:", nullptr);
    plat::send(lone, "itemButtonFrameClicked:", nullptr);
    EXPECT_EQ(events(), (std::vector<std::string>{"lone tapped", "lone tapped"}));
}

TEST_F(VisibleWidgetTest, TreesFromOddDescriptionsAndTheFilesTheyNeed) {
    auto nested = dict({{"WidgetType", "ImageWidget"}});
    for (int depth = 0; depth < 100; ++depth)
        nested = dict({{"WidgetType", "ImageWidget"}, {"Subwidgets", list({nested})}});
    auto widget = make<TapWidget>(
        {{"Subwidgets", list({"text", 4, dict({{"WidgetType", "Nothing"}}), nested})},
         {"AttachedWidgets", dict({{"WidgetType", "ImageWidget"}})}});
    EXPECT_TRUE(widget->attachedWidgets().empty());
    ASSERT_EQ(widget->subwidgets().size(), 1U);
    int depth = 0;
    for (auto node = std::static_pointer_cast<VisibleWidget>(widget->subwidgets()[0]);
         !node->subwidgets().empty();
         node = std::static_pointer_cast<VisibleWidget>(node->subwidgets()[0]))
        ++depth;
    EXPECT_EQ(depth, 100);
    EXPECT_EQ(widget->requiredInteractiveFileIds(), std::vector<std::string>{"shared"});
    EXPECT_TRUE(make<TapWidget>({{"Subwidgets", "text"}})->subwidgets().empty());
    EXPECT_TRUE(std::make_shared<VisibleWidget>()->isReadyForDisplay());
    widget->didBecomeActive();
    widget->detachFromView();
}
