#pragma once
// ImageRotationView: the view of a 360-degree picture series. It shows the first frame at rest;
// startAnimating plays one turn on a repeating timer of the current run loop (n frames at
// 1.0 / n seconds, the interval in single precision): frames 1 to n - 1, then frame 0 again
// at one second, and stops. A start while a turn plays, or without frames, does nothing. The
// view stops its own timer when it goes.
#include <optional>
#include <vector>

#include "app/issueui/QtWidgetView.h"
#include "app/widgets/WidgetClientView.h"

namespace plat {
class Timer;
}
class ScaledImageView;

class ImageRotationView : public QtWidgetView, public WidgetClientView {
    PLAT_CLASS(ImageRotationView)
  public:
    // The kind of view the widget factory's makers give for it.
    static constexpr const char* kViewKind = "ImageRotationView";

    explicit ImageRotationView(const QRectF& frame);
    ~ImageRotationView() override;

    void stopAnimating();
    // The frame shown.
    void setImage(const Ref<plat::Image>& image) override;
    const Ref<plat::Image>& image() const { return image_; }
    // Keeps the frames and shows the first one (when there is one).
    void loadImages(const std::vector<Ref<plat::Image>>& images);
    void nextAnimation();
    void startAnimating();
    bool viewShouldReceiveTouch(const Ref<plat::Object>&) override { return true; }
    void clearImages() {}
    // Frames were given, even none.
    bool hasImages() const { return images_.has_value(); }

    bool isAnimating() const { return animationTimer_ != nullptr; }
    int32_t currentAnimationImageIndex() const { return currentAnimationImageIndex_; }
    // The interval of the running timer; 0 at rest.
    double animationInterval() const;

  private:
    ScaledImageView* imageView() const;

    std::optional<std::vector<Ref<plat::Image>>> images_;
    int32_t currentAnimationImageIndex_ = 0;
    Ref<plat::Timer> animationTimer_;
    Ref<plat::Image> image_;
};
