#pragma once
// PictureScroller: pictures side by side in the scroll view of the nib "PictureScroller" (a
// DTScrollView over the whole view and a close control in its upper right corner), each as
// large as the view and scaled in proportion to fit it. reloadPictures rebuilds the content
// once the view is loaded; the close control closes the view (a PopupView). PictureScrollerView is
// a widget view over a controller's view, which it owns, holding the controller.
#include <QPointer>
#include <optional>
#include <vector>

#include "app/widgets/PopupView.h"
#include "platform_ui/ViewController.h"

namespace plat {
class Image;
}
namespace ui {
class ResourceRegistry;
}
namespace ui {
class DTScrollView;
}
class QAbstractButton;
class ScaledImageView;

class PictureScroller : public ui::ViewController {
    PLAT_CLASS(PictureScroller)
  public:
    static constexpr const char* kNibName = "PictureScroller";

    PictureScroller() : ui::ViewController(kNibName) {}

    // Registers the nib: the scroll view and the close control, wired to their owner.
    static void registerNib(ui::ResourceRegistry& registry);

    void viewDidLoad() override;
    // Builds the picture views unless they exist.
    void loadPictureViews();
    void reloadPictures(const std::vector<Ref<plat::Image>>& pictures);
    void closeButtonTouchUpInside();
    bool closeButtonVisible() const { return closeButtonVisible_; }
    void setCloseButtonVisible(bool visible) { closeButtonVisible_ = visible; }
    const std::vector<Ref<plat::Image>>& pictures() const { return pictures_; }

    ui::DTScrollView* scrollView() const;
    QAbstractButton* closeButton() const;
    // The picture views; nothing while they must be built.
    const std::optional<std::vector<QPointer<ScaledImageView>>>& pictureViews() const {
        return pictureViews_;
    }

  private:
    QPointer<ui::DTScrollView> scrollView_;
    QPointer<QAbstractButton> closeButton_;
    std::vector<Ref<plat::Image>> pictures_;
    std::optional<std::vector<QPointer<ScaledImageView>>> pictureViews_;
    bool closeButtonVisible_ = false;
};

class PictureScrollerView : public PopupWidgetView {
    PLAT_CLASS(PictureScrollerView)
  public:
    // The kind of view the widget factory's makers give for it.
    static constexpr const char* kViewKind = "PictureScroller";

    explicit PictureScrollerView(const Ref<PictureScroller>& controller);
    const Ref<PictureScroller>& controller() const { return controller_; }

  private:
    Ref<PictureScroller> controller_;
};
