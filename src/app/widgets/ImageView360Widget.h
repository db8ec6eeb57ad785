#pragma once
// ImageView360Widget: an object shown from all sides: a numbered series of pictures
// ("ImageFormat", "ImageIdStart", "ImageIdEnd", "ImageIdLength", read as a FileNameSeries, which
// may throw "ArgumentOutOfRange"), one per viewing angle, the first shown at rest. Its action
// (through "RunWhenActive": it has no button) plays one turn in one second on its rotation view.
// It is shown once one frame is there; frames that are missing are left out of the turn.
#include <optional>

#include "app/issueui/VisibleWidget.h"

class ImageRotationView;

class ImageView360Widget : public VisibleWidget {
    PLAT_CLASS(ImageView360Widget)
  public:
    ImageView360Widget() = default;
    ~ImageView360Widget() override;

    // Loads the frames once.
    void ensureImages();
    void loadFromDictionary(const plat::Dictionary& description) override;
    std::vector<std::string> _requiredAssetFileIds() const override { return imagePaths_; }
    bool anyImageAvailable() const;
    bool readyForDisplay() override;
    bool hasButton() const override { return false; }
    // Gives the widget's rotation view its frames when it has none.
    void didBecomeActive() override;
    // Plays one turn on the widget's own view (none: nothing).
    void invokeButtonAction(const Ref<plat::Object>& sender) override;
    // A rotation view (tag 1) showing the frames.
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;
    // Drops the frames; the rotation view keeps its own.
    void purgeCacheData() override;

    const std::vector<std::string>& imagePaths() const { return imagePaths_; }
    // The loaded frames; nothing while not loaded.
    const std::optional<std::vector<Ref<plat::Image>>>& images() const { return images_; }
    // The widget's view as a rotation view.
    ImageRotationView* rotationView() const;

  private:
    std::vector<std::string> imagePaths_;
    std::optional<std::vector<Ref<plat::Image>>> images_;
};
