// Widget views over Qt widgets: a widget tree attached to a host widget becomes child widgets at
// the mapped geometries, and leaves none behind once detached or released.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "app/issueui/IssueUIResources.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/VisibleWidget.h"
#include "app/issueui/WidgetFactory.h"
#include "platform_ui/ResourceRegistry.h"

namespace {

Ref<VisibleWidget> makeTree() {
    auto sub = plat::MutableDictionary::make({{"WidgetType", "ImageWidget"},
                                              {"Frame", "{5,5,10,10}"},
                                              {"Button", plat::Value(plat::Array::make({}))}});
    auto attached = plat::MutableDictionary::make({{"WidgetType", "ImageWidget"},
                                                   {"Frame", "{200,300,10,10}"},
                                                   {"Button", plat::Value(plat::Array::make({}))}});
    auto description = plat::MutableDictionary::make(
        {{"Frame", "{10,20,100,50}"},
         {"Subwidgets", plat::Value(plat::Array::make({plat::Value(Ref<plat::Dictionary>(sub))}))},
         {"AttachedWidgets",
          plat::Value(plat::Array::make({plat::Value(Ref<plat::Dictionary>(attached))}))}});
    return OverlayData::dataByDictionary<VisibleWidget>(*description, nullptr);
}

QList<QRect> childGeometries(const QWidget& parent) {
    QList<QRect> geometries;
    for (auto* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        geometries.push_back(child->geometry());
    return geometries;
}

}  // namespace

TEST(WidgetViewQtTest, TreesBecomeChildWidgetsAtTheirPlacesAndLeaveNoneBehind) {
    registerIssueUIResources(ui::ResourceRegistry::shared());
    WidgetFactory::registerWidgetClass<VisibleWidget>("ImageWidget");
    QWidget host;
    host.resize(800, 600);
    host.show();
    const auto baseline = QApplication::allWidgets().size();
    auto hostView = QtWidgetView::borrowing(&host);
    EXPECT_EQ(hostView->frame(), QRectF(host.geometry()));

    auto widget = makeTree();
    widget->attachToView(hostView, QTransform(2, 0, 0, 2, 100, 50));
    // The widget's view and its button's view over the same place; inside the widget's view, the
    // sub-widget at scale 2 from the view's corner and the attached widget with the page's
    // transformation.
    EXPECT_EQ(childGeometries(host),
              (QList<QRect>{QRect(120, 90, 200, 100), QRect(120, 90, 200, 100)}));
    auto* widgetWidget = std::dynamic_pointer_cast<QtWidgetView>(widget->widgetView())->widget();
    ASSERT_TRUE(widgetWidget);
    EXPECT_EQ(widgetWidget->parentWidget(), &host);
    EXPECT_TRUE(widgetWidget->isVisible());
    EXPECT_EQ(childGeometries(*widgetWidget),
              (QList<QRect>{QRect(10, 10, 20, 20), QRect(500, 650, 20, 20)}));

    widget->detachFromView();
    EXPECT_TRUE(host.findChildren<QWidget*>().isEmpty());
    // An attached widget stays attached to the (now hidden) view it was given until it is
    // detached itself.
    std::static_pointer_cast<VisibleWidget>(widget->attachedWidgets()[0])->detachFromView();
    EXPECT_EQ(QApplication::allWidgets().size(), baseline);

    // Attached again and released without a detach: every widget takes its own view away.
    widget->attachToView(hostView, QTransform(2, 0, 0, 2, 100, 50));
    EXPECT_EQ(host.findChildren<QWidget*>().size(), 4);
    widget.reset();
    EXPECT_TRUE(host.findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(QApplication::allWidgets().size(), baseline);

    // A view handed out to another parent goes with its view; one its parent deleted is let be.
    auto handed = std::make_shared<QtWidgetView>(QRectF(1, 2, 3, 4));
    QPointer<QWidget> handedWidget = handed->widget();
    handedWidget->setParent(&host);
    EXPECT_EQ(handedWidget->geometry(), QRect(1, 2, 3, 4));
    handed.reset();
    EXPECT_TRUE(handedWidget.isNull());
    {
        auto parentView = std::make_shared<QtWidgetView>(QRectF(0, 0, 50, 50));
        auto childView = std::make_shared<QtWidgetView>(QRectF(0, 0, 5, 5));
        parentView->addSubview(childView);
        QPointer<QWidget> childWidget = childView->widget();
        hostView->addSubview(parentView);
        parentView->removeFromSuperview();
        parentView.reset();  // the child keeps its widget
        EXPECT_FALSE(childWidget.isNull());
        EXPECT_FALSE(childWidget->parentWidget());
    }
    EXPECT_EQ(QApplication::allWidgets().size(), baseline);
    WidgetFactory::unregisterAllWidgetClasses();
    WidgetViewFactory::removeAllMakers();
}
