#include "app/issueui/WidgetView.h"

#include <algorithm>
#include <map>

#include "app/issueui/VisibleWidget.h"

PLAT_DEFINE_CLASS(WidgetView, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(PlainWidgetView, WidgetView, PLAT_NO_METHODS)

WidgetView::~WidgetView() {
    for (const auto& view : subviews_)
        view->superview_.reset();
}

void WidgetView::addSubview(const Ref<WidgetView>& view) {
    if (!view || view.get() == this)
        return;
    view->removeFromSuperview();
    subviews_.push_back(view);
    view->superview_ = weakSelf<WidgetView>();
    didAddSubview(*view);
}

void WidgetView::removeFromSuperview() {
    auto superview = superview_.lock();
    if (!superview)
        return;
    const auto keep = self<WidgetView>();
    superview->willRemoveSubview(*this);
    auto& list = superview->subviews_;
    list.erase(std::remove(list.begin(), list.end(), keep), list.end());
    superview_.reset();
}

void PlainWidgetView::setImage(const Ref<plat::Image>& image) {
    image_ = image;
    ++imageChanges_;
}

namespace {

std::map<std::string, WidgetViewFactory::Maker>& viewMakers() {
    static std::map<std::string, WidgetViewFactory::Maker> map;
    return map;
}

}  // namespace

void WidgetViewFactory::setMaker(const std::string& kind, Maker maker) {
    if (maker)
        viewMakers()[kind] = std::move(maker);
    else
        viewMakers().erase(kind);
}

bool WidgetViewFactory::hasMaker(const std::string& kind) {
    return viewMakers().count(kind) > 0;
}

Ref<WidgetView> WidgetViewFactory::makeView(const std::string& kind, VisibleWidget& owner,
                                            const QRectF& frame) {
    auto it = viewMakers().find(kind);
    if (it == viewMakers().end())
        it = viewMakers().find(kPlainView);
    if (it != viewMakers().end())
        return it->second(owner, frame);
    return std::make_shared<PlainWidgetView>(kind, frame);
}

void WidgetViewFactory::removeAllMakers() {
    viewMakers().clear();
}
