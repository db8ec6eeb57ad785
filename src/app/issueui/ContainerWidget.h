#pragma once
// ContainerWidget: the root of a page's widget tree: no view of its own; its sub-widgets go
// straight into the view it is attached to, with the page's transformation.
#include "app/issueui/VisibleWidget.h"

class ContainerWidget : public VisibleWidget {
    PLAT_CLASS(ContainerWidget)
  public:
    Ref<WidgetView> newWidgetView(const QRectF&) override { return nullptr; }
    Ref<WidgetView> subwidgetParentView() const override { return attachedView(); }
    QTransform calcSubwidgetTransformation(const QTransform& transformation,
                                           const Ref<WidgetView>&) const override {
        return transformation;
    }
};
