#include "app/widgets/ImageScrollWidget.h"

#include <algorithm>

#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "app/widgets/ImageWidget.h"
#include "app/widgets/WidgetScrollView.h"
#include "platform/core/Log.h"
#include "platform/image/Image.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(ImageScrollWidget, VisibleWidget, PLAT_NO_METHODS)

ImageScrollWidget::~ImageScrollWidget() {
    if (auto* scroll = dynamic_cast<WidgetScrollView*>(scrollView_.lock().get()))
        scroll->setScrollObserver(nullptr);
}

QRectF ImageScrollWidget::contentRect(const std::vector<QRectF>& frames) {
    double left = 0, top = 0, right = 0, bottom = 0;
    for (const auto& frame : frames) {
        const QRectF r = frame.normalized();
        left = std::min(left, r.left());
        top = std::min(top, r.top());
        right = std::max(right, r.right());
        bottom = std::max(bottom, r.bottom());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

Ref<WidgetView> ImageScrollWidget::newWidgetView(const QRectF& frame) {
    auto view = WidgetViewFactory::makeView(WidgetScrollView::kViewKind, *this, frame);
    if (!view)
        return nullptr;
    auto* scroll = dynamic_cast<WidgetScrollView*>(view.get());
    if (scroll) {
        scroll->setHasVerticalScroller(true);
        scroll->setHasHorizontalScroller(false);
        const WeakRef<ImageScrollWidget> weak = weakSelf<ImageScrollWidget>();
        scroll->setScrollObserver([weak] {
            if (auto widget = weak.lock())
                widget->scrollViewDidScroll();
        });
    }
    view->setBackgroundColor(backgroundColor_);

    std::vector<QRectF> frames;
    for (const auto& subwidget : subwidgets())
        frames.push_back(subwidget->frame());
    auto document =
        WidgetViewFactory::makeView(WidgetViewFactory::kPlainView, *this, contentRect(frames));
    // The sub-widgets are placed in the content when the view is attached (or handed back by
    // the host that placed it), with the widget's scale.
    if (scroll)
        scroll->setDocumentView(document);
    else
        view->addSubview(document);
    // The content shows from its top.
    if (scroll)
        scroll->scrollToPoint(QPointF());
    documentView_ = document;
    scrollView_ = view;
    indicatorShownInView_ = false;
    scrollableIndicator_.reset();
    return view;
}

void ImageScrollWidget::detachFromView() {
    VisibleWidget::detachFromView();
    removeIndicator();
    documentView_.reset();
}

Ref<WidgetView> ImageScrollWidget::subwidgetParentView() const {
    return widgetView() ? documentView_ : nullptr;
}

void ImageScrollWidget::removeIndicator() {
    if (scrollableIndicator_) {
        scrollableIndicator_->removeFromSuperview();
        scrollableIndicator_.reset();
    }
}

void ImageScrollWidget::scrollViewDidScroll() {
    removeIndicator();
}

bool ImageScrollWidget::readyForDisplay() {
    return VisibleWidget::readyForDisplay() && assetIdListAvailable(imageFilePaths_);
}

void ImageScrollWidget::didBecomeActive() {
    VisibleWidget::didBecomeActive();
    const auto& view = widgetView();
    if (!scrollableIndicatorVisible_ || scrollableIndicator_ || indicatorShownInView_ || !view)
        return;
    const auto image = AssetManager::classImageById("widgeticon_updown");
    const QRectF size(0, 0, image ? image->width() : 0, image ? image->height() : 0);
    // Right and top of the view, whose y grows downwards.
    const QRectF frame = alignRect(size, view->bounds(), WidgetAnchor{2, 0});
    auto indicator = WidgetViewFactory::makeView(ImageWidget::kImageViewKind, *this, frame);
    if (!indicator)
        return;
    indicator->setImage(image);
    view->addSubview(indicator);
    scrollableIndicator_ = indicator;
    indicatorShownInView_ = true;
}

void ImageScrollWidget::subwidgetsDidAttached(const Ref<WidgetView>& parentView) {
    if (!parentView)
        return;
    std::vector<QRectF> frames;
    for (const auto& subview : parentView->subviews())
        frames.push_back(subview->frame());
    QRectF content = contentRect(frames);
    const auto& view = widgetView();
    const QRectF bounds = view ? view->bounds() : parentView->bounds();
    if (scrollDirection_ != 0)
        content.setHeight(bounds.height() - 1);
    else
        content.setWidth(bounds.width() - 1);
    parentView->setFrame(content);
    if (auto* scroll = dynamic_cast<WidgetScrollView*>(view.get()))
        scroll->documentViewDidResize();
}

void ImageScrollWidget::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    if (const auto entries = description.objectForKey("ImageViews").array()) {
        entries->enumerate([&](const plat::Value& value) {
            const auto entry = value.dictionary();
            const auto name = entry ? entry->objectForKey("ImageFileName") : plat::Value();
            if (!name.string()) {
                plat::systemLog("An image of a scroll widget without \"ImageFileName\" is skipped");
                return true;
            }
            imageFilePaths_.push_back(*name.string());
            scrollDirection_ = intForKey(*entry, "ScrollDirection", 0);
            // The widgets of an entry are built and not kept: they show nothing.
            if (const auto widgets = entry->objectForKey("Widgets").array()) {
                widgets->enumerate([&](const plat::Value& widget) {
                    try {
                        (void)WidgetFactory::widgetWithDictionary(widget, assetManager());
                    } catch (const std::exception& e) {
                        plat::systemLog(plat::format(
                            "A widget of a scroll widget's image was refused: %s", e.what()));
                    }
                    return true;
                });
            }
            return true;
        });
    }
    backgroundColor_ =
        boolForKey(description, "Opaque", false) ? QColor(255, 255, 255) : QColor(0, 0, 0, 0);
    scrollableIndicatorVisible_ = boolForKey(description, "ScrollableIndicatorVisible", false);
}
