#include "app/widgets/PictureViewMakers.h"

#include "app/widgets/ImageListScroller.h"
#include "app/widgets/ImageRotationView.h"
#include "app/widgets/PictureScroller.h"
#include "app/widgets/WidgetScrollView.h"

void installPictureViewMakers() {
    WidgetViewFactory::setMaker(WidgetScrollView::kViewKind,
                                [](VisibleWidget&, const QRectF& frame) -> Ref<WidgetView> {
                                    return std::make_shared<WidgetScrollView>(frame);
                                });
    WidgetViewFactory::setMaker(ImageRotationView::kViewKind,
                                [](VisibleWidget&, const QRectF& frame) -> Ref<WidgetView> {
                                    return std::make_shared<ImageRotationView>(frame);
                                });
    WidgetViewFactory::setMaker(
        ImageListScroller::kViewKind, [](VisibleWidget&, const QRectF& frame) -> Ref<WidgetView> {
            return std::make_shared<PopupWidgetView>(std::make_unique<ImageListScroller>(frame));
        });
    WidgetViewFactory::setMaker(PictureScrollerView::kViewKind,
                                [](VisibleWidget&, const QRectF& frame) -> Ref<WidgetView> {
                                    auto view = std::make_shared<PictureScrollerView>(
                                        ui::ViewController::create<PictureScroller>());
                                    view->setFrame(frame);
                                    return view;
                                });
}
