#pragma once
// WidgetView: what a page widget needs of a view: a frame in its superview's coordinates (origin
// top left, y growing downwards, like page space), bounds, a superview, subviews it adds and
// removes, a hidden flag and a tag, plus the few looks widgets set (an image, a background).
// A superview keeps its subviews; a subview does not keep its superview.
//
// WidgetViewFactory makes the views, by kind: "" is the plain view, and other kinds ("image",
// the action button's "WidgetActionButton", ...) fall back to the plain maker until a screen
// registers its own. Without any maker the views are PlainWidgetView, which only records what is
// asked of it (headless use and tests); the screens install makers over Qt widgets.
#include <QColor>
#include <QRectF>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Object.h"

namespace plat {
class Image;
}
class VisibleWidget;

class WidgetView : public plat::Object {
    PLAT_CLASS(WidgetView)
  public:
    ~WidgetView() override;

    virtual QRectF frame() const = 0;
    virtual void setFrame(const QRectF& frame) = 0;
    // (0, 0, width, height).
    QRectF bounds() const { return {QPointF(), frame().size()}; }
    virtual bool isHidden() const = 0;
    virtual void setHidden(bool hidden) = 0;
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // What the view shows; views without a picture ignore these.
    virtual void setImage(const Ref<plat::Image>&) {}
    virtual void setBackgroundColor(const QColor&) {}

    Ref<WidgetView> superview() const { return superview_.lock(); }
    const std::vector<Ref<WidgetView>>& subviews() const { return subviews_; }
    // Takes the view from its former superview first; a null view or the view itself is ignored.
    void addSubview(const Ref<WidgetView>& view);
    void removeFromSuperview();

  protected:
    // Toolkit views mirror the tree here: a subview was added, or is about to be removed.
    virtual void didAddSubview(WidgetView&) {}
    virtual void willRemoveSubview(WidgetView&) {}

  private:
    WeakRef<WidgetView> superview_;
    std::vector<Ref<WidgetView>> subviews_;
    int tag_ = 0;
};

// A view of no toolkit: it keeps what it is told.
class PlainWidgetView : public WidgetView {
    PLAT_CLASS(PlainWidgetView)
  public:
    PlainWidgetView() = default;
    PlainWidgetView(std::string kind, const QRectF& frame)
        : kind_(std::move(kind)), frame_(frame) {}

    QRectF frame() const override { return frame_; }
    void setFrame(const QRectF& frame) override { frame_ = frame; }
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override { hidden_ = hidden; }
    void setImage(const Ref<plat::Image>& image) override;
    void setBackgroundColor(const QColor& color) override { backgroundColors_.push_back(color); }

    // The kind it was made for, the images and backgrounds set, in order.
    const std::string& kind() const { return kind_; }
    const Ref<plat::Image>& image() const { return image_; }
    int imageChanges() const { return imageChanges_; }
    const std::vector<QColor>& backgroundColors() const { return backgroundColors_; }

  private:
    std::string kind_;
    QRectF frame_;
    bool hidden_ = false;
    Ref<plat::Image> image_;
    int imageChanges_ = 0;
    std::vector<QColor> backgroundColors_;
};

class WidgetViewFactory {
  public:
    // A maker answers a new view with that frame for the widget (it may answer null).
    using Maker = std::function<Ref<WidgetView>(VisibleWidget& owner, const QRectF& frame)>;
    static constexpr const char* kPlainView = "";

    // Installs (or, with an empty maker, removes) the maker of a kind.
    static void setMaker(const std::string& kind, Maker maker);
    static bool hasMaker(const std::string& kind);
    // The kind's maker, else the plain maker, else a PlainWidgetView.
    static Ref<WidgetView> makeView(const std::string& kind, VisibleWidget& owner,
                                    const QRectF& frame);
    // Forgets every maker (tests).
    static void removeAllMakers();
};
