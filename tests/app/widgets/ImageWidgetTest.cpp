// Image widgets: the picture's pixels as the frame of reference of sub-widgets (stretched, not
// kept in proportion), readiness from the picture's file alone, and a missing or empty picture.
#include "app/issueui/IssueUITestSupport.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "app/widgets/ImageWidget.h"
#include "app/widgets/ThumbnailSelectorWidget.h"
#include "app/widgets/WidgetKinds.h"
#include "platform/image/Image.h"

using namespace issueui_test;

namespace {

class ImageWidgetTest : public IssueUITest {
  protected:
    void SetUp() override {
        IssueUITest::SetUp();
        WidgetFactory::unregisterAllWidgetClasses();
        registerWidgetKinds();
        WidgetViewFactory::removeAllMakers();  // views of no toolkit here
        issue = makeIssue("MG-44", "Magazine", {{0, 0}});
        cacheInteractiveFile(issue, 0, "photo", pngBytes(1000, 500));
        cacheInteractiveFile(issue, 0, "broken", plat::Bytes{'n', 'o'});
        manager = std::make_shared<WidgetAssetManager>(issue->pageContextWithSourcePageIndex(0));
    }
    void TearDown() override {
        WidgetFactory::unregisterAllWidgetClasses();
        IssueUITest::TearDown();
    }

    // An image widget of that picture and frame holding one sub-widget at (100, 100, 50, 50)
    // whose own picture has not arrived.
    Ref<ImageWidget> build(Entries keys) {
        keys.emplace_back("WidgetType", "ImageWidget");
        keys.emplace_back("Subwidgets", list({dict({{"WidgetType", "ImageWidget"},
                                                    {"ImageFileName", "later"},
                                                    {"Frame", "{{100,100},{50,50}}"}})}));
        return std::dynamic_pointer_cast<ImageWidget>(
            WidgetFactory::widgetWithDictionary(dict(std::move(keys)), manager));
    }
    static QRectF subwidgetFrame(const Ref<ImageWidget>& widget) {
        auto sub = std::dynamic_pointer_cast<VisibleWidget>(widget->subwidgets().at(0));
        return sub && sub->widgetView() ? sub->widgetView()->frame() : QRectF();
    }

    Ref<VnMagazineIssueContext> issue;
    Ref<WidgetAssetManager> manager;
};

TEST_F(ImageWidgetTest, SubwidgetsAreLaidOutInPicturePixelsAndReadinessAsksOnlyThePicture) {
    auto widget = build({{"ImageFileName", "photo"},
                         {"Frame", "{{10,20},{100,50}}"},
                         {"Opaque", yes()},
                         {"Button", dict({{"IconVisible", yes()}})}});
    ASSERT_TRUE(widget);
    EXPECT_FALSE(widget->button());
    EXPECT_EQ(widget->backgroundColor(), QColor(255, 255, 255));
    EXPECT_TRUE(widget->isReadyForDisplay());
    EXPECT_EQ(widget->requiredInteractiveFileIds(), (std::vector<std::string>{"later", "photo"}));

    // Scale 2: a 200 by 100 view shows the 1000 by 500 picture.
    auto host = std::make_shared<PlainWidgetView>();
    widget->attachToView(host, QTransform(2, 0, 0, 2, 0, 0));
    auto view = std::dynamic_pointer_cast<PlainWidgetView>(widget->widgetView());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->kind(), ImageWidget::kImageViewKind);
    EXPECT_EQ(view->frame(), QRectF(20, 40, 200, 100));
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->width(), 1000);
    EXPECT_EQ(subwidgetFrame(widget), QRectF(20, 20, 10, 10));
    widget->detachFromView();

    // A square area stretches the picture: 0.2 across, 0.4 down.
    auto square = build({{"ImageFileName", "photo"}, {"Frame", "{{0,0},{200,200}}"}});
    square->attachToView(host, QTransform());
    EXPECT_EQ(subwidgetFrame(square), QRectF(20, 40, 10, 20));
    square->detachFromView();
}

TEST_F(ImageWidgetTest, MissingOrUnreadablePicturesGiveSubwidgetsTheIdentity) {
    auto host = std::make_shared<PlainWidgetView>();
    for (const char* name : {"broken", "nowhere"}) {
        auto widget = build({{"ImageFileName", name}, {"Frame", "{{0,0},{200,100}}"}});
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->isReadyForDisplay(), std::string(name) == "broken");
        widget->attachToView(host, QTransform());
        EXPECT_EQ(subwidgetFrame(widget), QRectF(100, 100, 50, 50)) << name;
        widget->detachFromView();
    }

    // Without a picture's name: nothing of its own required, never ready.
    auto nameless = build({{"Frame", "{{0,0},{200,100}}"}});
    EXPECT_FALSE(nameless->isReadyForDisplay());
    EXPECT_EQ(nameless->requiredInteractiveFileIds(), (std::vector<std::string>{"later"}));
    nameless->attachToView(host, QTransform());
    EXPECT_EQ(subwidgetFrame(nameless), QRectF(100, 100, 50, 50));
    nameless->detachFromView();

    // No widget type makes a thumbnail selector; it is a plain visible widget.
    auto selector = OverlayData::dataByDictionary<ThumbnailSelectorWidget>(
        *widgetDictionary({{"Frame", "{{0,0},{10,10}}"}}), manager);
    EXPECT_TRUE(selector->imageFullPaths().empty());
    EXPECT_TRUE(selector->thumbnailImageFullPaths().empty());
}

}  // namespace
