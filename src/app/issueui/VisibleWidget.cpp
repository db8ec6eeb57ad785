#include "app/issueui/VisibleWidget.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(VisibleWidget, OverlayData, [](auto& c) {
    c.method("itemButtonFrameClicked:", &VisibleWidget::itemButtonFrameClicked)
        .method("invokeButtonAction:", &VisibleWidget::invokeButtonAction);
})

VisibleWidget::~VisibleWidget() {
    // This class's own detaching: the kinds' parts are gone already.
    VisibleWidget::detachFromView();
}

// ---- Views
// ---------------------------------------------------------------------------------------

Ref<WidgetView> VisibleWidget::newWidgetView(const QRectF& frame) {
    return WidgetViewFactory::makeView(WidgetViewFactory::kPlainView, *this, frame);
}

QRectF VisibleWidget::viewRectByUserRect(const QRectF& rect) const {
    return userToViewTransformation_.mapRect(rect);
}

QTransform VisibleWidget::calcSubwidgetTransformation(const QTransform& t,
                                                      const Ref<WidgetView>&) const {
    return QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0);
}

void VisibleWidget::attachToView(const Ref<WidgetView>& view, const QTransform& transformation) {
    if (view == attachedView_)
        return;
    OverlayData::attachToView(view, transformation);
    userToViewTransformation_ = transformation;
    documentBounds_ = view ? transformation.mapRect(view->bounds()) : QRectF();
    detachFromView();
    attachedView_ = view;

    const QRectF viewFrame = transformation.mapRect(frame());
    if (!widgetView_)
        widgetView_ = newWidgetView(viewFrame);
    else
        widgetView_->setFrame(viewFrame);
    if (widgetView_ && view)
        view->addSubview(widgetView_);

    attachChildren(transformation, viewFrame);

    if (hasButton() && button_) {
        button_->setIcon(buttonIcon());
        button_->attachToView(view, transformation);
    }
}

void VisibleWidget::attachChildren(const QTransform& transformation, const QRectF& viewFrame) {
    if (auto parentView = subwidgetParentView()) {
        for (const auto& subwidget : std::vector(subwidgets_))
            subwidget->attachToView(parentView,
                                    calcSubwidgetTransformation(transformation, widgetView_));
        for (const auto& attached : std::vector(attachedWidgets_))
            attached->attachToView(parentView, transformation);
        subwidgetsDidAttached(parentView);
        if (needOverlayButton())
            createTransparentButtonWithSuperview(attachedView_, viewFrame);
    }
}

void VisibleWidget::adoptPlacedView(const Ref<WidgetView>& host, const Ref<WidgetView>& view,
                                    const QTransform& transformation) {
    if (widgetView_ && widgetView_ != view)
        detachFromView();
    attachedView_ = host;
    userToViewTransformation_ = transformation;
    documentBounds_ = host ? transformation.mapRect(host->bounds()) : QRectF();
    widgetView_ = view;
    attachChildren(transformation, view ? view->frame() : transformation.mapRect(frame()));
}

void VisibleWidget::layoutSubwidgets(const QTransform& transformation) {
    userToViewTransformation_ = transformation;
    const auto parentView = subwidgetParentView();
    if (!parentView)
        return;
    for (const auto& subwidget : std::vector(subwidgets_))
        subwidget->layoutWidget(calcSubwidgetTransformation(transformation, widgetView_));
    for (const auto& attached : std::vector(attachedWidgets_))
        attached->layoutWidget(transformation);
    subwidgetsDidAttached(parentView);
}

void VisibleWidget::layoutWidget(const QTransform& transformation) {
    if (widgetView_)
        widgetView_->setFrame(transformation.mapRect(frame()));
    layoutSubwidgets(transformation);
    if (button_ && button_->widgetView())
        button_->layoutWidget(transformation);
}

void VisibleWidget::detachFromView() {
    OverlayData::detachFromView();
    didBecomeInactive();
    if (button_)
        button_->detachFromView();
    if (widgetView_) {
        widgetView_->removeFromSuperview();
        widgetView_.reset();
    }
    attachedView_.reset();
    for (const auto& subwidget : std::vector(subwidgets_))
        subwidget->detachFromView();
}

// ---- Actions and activation
// ----------------------------------------------------------------------

void VisibleWidget::itemButtonFrameClicked(const Ref<plat::Object>&) {
    widgetTapped();
}

void VisibleWidget::invokeButtonAction(const Ref<plat::Object>&) {
    const auto keep = self<VisibleWidget>();
    if (auto parent = std::dynamic_pointer_cast<VisibleWidget>(superwidget())) {
        for (const auto& sibling : std::vector(parent->subwidgets_))
            sibling->didBecomeInactive();
    }
    widgetTapped();
}

void VisibleWidget::didBecomeActive() {
    OverlayData::didBecomeActive();
    if (button_)
        button_->didBecomeActive();
    for (const auto& subwidget : std::vector(subwidgets_))
        subwidget->didBecomeActive();
    if (runWhenActive_ && !hasRunWhenActive_) {
        invokeButtonAction(nullptr);
        hasRunWhenActive_ = true;
    }
}

void VisibleWidget::didBecomeInactive() {
    OverlayData::didBecomeInactive();
    for (const auto& subwidget : std::vector(subwidgets_))
        subwidget->didBecomeInactive();
    hasRunWhenActive_ = false;
    if (button_)
        button_->didBecomeInactive();
}

void VisibleWidget::purgeCacheData() {
    OverlayData::purgeCacheData();
    for (const auto& subwidget : subwidgets_)
        subwidget->purgeCacheData();
}

bool VisibleWidget::raiseTouchUpInsidePageBounds() const {
    return std::any_of(subwidgets_.begin(), subwidgets_.end(), [](const auto& subwidget) {
        auto visible = std::dynamic_pointer_cast<VisibleWidget>(subwidget);
        return visible && visible->raiseTouchUpInsidePageBounds();
    });
}

// ---- Button
// ----------------------------------------------------------------------------------------

void VisibleWidget::buildButtonInjectPropertyMap(
    std::vector<std::pair<std::string, std::string>>& map) const {
    map.emplace_back("Frame", "Frame");
}

void VisibleWidget::buildDefaultButtonProperties(plat::MutableDictionary& properties) const {
    properties.setObject(plat::Value::boolean(true), "IconVisible");
}

Ref<plat::MutableDictionary> VisibleWidget::defaultButtonProperties() const {
    auto properties = plat::MutableDictionary::make();
    buildDefaultButtonProperties(*properties);
    return properties;
}

void VisibleWidget::mergeProperties(plat::MutableDictionary& properties,
                                    const plat::Dictionary& defaults) {
    defaults.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        if (properties.objectForKey(key).isNil())
            properties.setObject(value, key);
        return true;
    });
}

std::string VisibleWidget::stringFromRect(const QRectF& rect) {
    auto number = [](double value) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    };
    return "{{" + number(rect.x()) + ", " + number(rect.y()) + "}, {" + number(rect.width()) +
           ", " + number(rect.height()) + "}}";
}

void VisibleWidget::loadButton(const plat::Dictionary& description) {
    const plat::Value buttonValue = description.objectForKey("Button");
    Ref<plat::MutableDictionary> properties;
    if (buttonValue.isNil()) {
        properties = plat::MutableDictionary::make();
    } else if (auto dictionary = buttonValue.dictionary()) {
        properties = dictionary->mutableCopy();
    } else {
        return;  // a "Button" that is no dictionary: no button
    }
    mergeProperties(*properties, *defaultButtonProperties());
    std::vector<std::pair<std::string, std::string>> injections;
    buildButtonInjectPropertyMap(injections);
    for (const auto& [widgetKey, buttonKey] : injections) {
        const plat::Value value = description.objectForKey(widgetKey);
        if (!value.isNil())
            properties->setObject(value, buttonKey);
    }
    const QRectF ownFrame = frame();
    if (ownFrame.width() != 0 && ownFrame.height() != 0)
        properties->setObject(plat::Value(stringFromRect(ownFrame)), "Frame");
    button_ = dataByDictionary<WidgetActionButton>(*properties, assetManager());
    button_->setOwner(self<VisibleWidget>());
}

// ---- Tree and description
// --------------------------------------------------------------------------

void VisibleWidget::loadFromDictionary(const plat::Dictionary& description) {
    OverlayData::loadFromDictionary(description);
    for (auto& widget : loadWidgetsFromDictionaryArray(description.objectForKey("Subwidgets")))
        subwidgets_.push_back(std::move(widget));
    for (auto& widget : loadWidgetsFromDictionaryArray(description.objectForKey("AttachedWidgets")))
        attachedWidgets_.push_back(std::move(widget));
    if (hasButton())
        loadButton(description);
    runWhenActive_ = boolForKey(description, "RunWhenActive", false);
    lockReaderScrollWhenActive_ = boolForKey(description, "LockReaderScrollWhenActive", false);
}

std::vector<Ref<OverlayData>> VisibleWidget::loadWidgetsFromDictionaryArray(
    const plat::Value& list) {
    std::vector<Ref<OverlayData>> widgets;
    const auto array = list.array();
    if (!array)
        return widgets;
    const auto parent = self<VisibleWidget>();
    array->enumerate([&](const plat::Value& description) {
        if (auto widget = WidgetFactory::widgetWithDictionary(description, assetManager())) {
            widget->setSuperwidget(parent);
            widgets.push_back(std::move(widget));
        }
        return true;
    });
    return widgets;
}

void VisibleWidget::addSubwidget(const Ref<OverlayData>& widget) {
    if (!widget)
        return;
    subwidgets_.push_back(widget);
    widget->setSuperwidget(self<VisibleWidget>());
}

bool VisibleWidget::readyForDisplay() {
    for (const auto& subwidget : subwidgets_) {
        if (!subwidget->isReadyForDisplay())
            return false;
    }
    return true;
}

std::vector<std::string> VisibleWidget::requiredInteractiveFileIds() const {
    std::set<std::string> ids;
    for (auto& id : _requiredAssetFileIds())
        ids.insert(std::move(id));
    for (const auto& subwidget : subwidgets_) {
        auto visible = std::dynamic_pointer_cast<const VisibleWidget>(subwidget);
        for (auto& id :
             visible ? visible->requiredInteractiveFileIds() : subwidget->_requiredAssetFileIds())
            ids.insert(std::move(id));
    }
    return {ids.begin(), ids.end()};
}

QRectF VisibleWidget::alignRect(const QRectF& rect, const QRectF& container, WidgetAnchor anchor) {
    const double width = rect.width();
    const double height = rect.height();
    double dx = 0;
    double dy = 0;
    switch (anchor.horizontal) {
        case 1:
            dx = (container.width() - width) / 2;
            break;
        case 2:
            dx = container.width() - width;
            break;
        default:
            break;
    }
    switch (anchor.vertical) {
        case 1:
            dy = (container.height() - height) / 2;
            break;
        case 2:
            dy = container.height() - height;
            break;
        default:
            break;
    }
    return QRectF(container.x() + dx, container.y() + dy, width, height);
}
