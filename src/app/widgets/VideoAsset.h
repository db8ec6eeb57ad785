#pragma once
// VideoAsset ("EmbeddedVideo"): a video of the page's files ("Id") played inside the page, in a
// player view with its control bar and full-screen toggle at "VideoFrame" (the widget's own frame
// when that is absent or empty), under the widget's button with the video icon. Each press plays
// from the beginning with a new player, raised above the button; "Repeat" loops. Becoming
// inactive or going pauses it. The reader places its view itself: attaching does nothing. A press
// whose file does not resolve is ignored (logged).
#include <memory>

#include "app/issueui/VisibleWidget.h"

namespace ui {
class MediaPlayer;
}

class VideoAsset : public VisibleWidget {
    PLAT_CLASS(VideoAsset)
  public:
    VideoAsset();
    ~VideoAsset() override;

    // A widget of that video shown at that rectangle.
    static Ref<VideoAsset> initWithFileName(const std::string& fileName, const QRectF& rect);

    void loadFromDictionary(const plat::Dictionary& description) override;
    bool needOverlayButton() const override { return false; }
    Ref<plat::Image> buttonIcon() const override;
    // The video frame once loaded.
    QRectF frame() const override;
    // A player view with that frame, kept as the widget's player view; it has no player yet.
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;
    // Pauses the player of the player view.
    void cleanupMoviePlayer();
    std::vector<std::string> _requiredAssetFileIds() const override;
    // The video's file is there (sub-widgets are not asked).
    bool readyForDisplay() override;
    void widgetTapped() override;
    void didBecomeInactive() override;
    void attachToView(const Ref<WidgetView>&, const QTransform&) override {}

    const std::string& videoFileName() const { return videoFileName_; }
    QRectF videoFrame() const { return videoFrame_.value_or(QRectF()); }
    bool repeats() const { return repeat_; }
    const Ref<WidgetView>& playerView() const { return playerView_; }
    ui::MediaPlayer* player() const { return player_.get(); }

  private:
    void dropPlayer();

    std::string videoFileName_;
    std::optional<QRectF> videoFrame_;
    bool repeat_ = false;
    Ref<WidgetView> playerView_;
    std::unique_ptr<ui::MediaPlayer> player_;
};
