#include "app/widgets/VideoAsset.h"

#include <QWidget>

#include "app/issueui/WidgetContext.h"
#include "app/widgets/MediaSupport.h"
#include "platform_ui/media/MediaPlayer.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(VideoAsset, VisibleWidget, [](auto&) {})

VideoAsset::VideoAsset() = default;

VideoAsset::~VideoAsset() {
    dropPlayer();
}

Ref<VideoAsset> VideoAsset::initWithFileName(const std::string& fileName, const QRectF& rect) {
    auto widget = std::make_shared<VideoAsset>();
    widget->videoFileName_ = fileName;
    widget->setFrame(rect);
    widget->videoFrame_ = rect;
    return widget;
}

void VideoAsset::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    if (const auto* id = description.objectForKey("Id").string())
        videoFileName_ = *id;
    QRectF rect;
    if (const auto* text = description.objectForKey("VideoFrame").string())
        rect = WidgetContext::rectFromString(*text);
    videoFrame_ = rect.width() == 0 || rect.height() == 0 ? OverlayData::frame() : rect;
    repeat_ = boolForKey(description, "Repeat", false);
}

Ref<plat::Image> VideoAsset::buttonIcon() const {
    return mediaButtonIcon("widgeticon_video");
}

QRectF VideoAsset::frame() const {
    return videoFrame_ ? *videoFrame_ : OverlayData::frame();
}

Ref<WidgetView> VideoAsset::newWidgetView(const QRectF& frame) {
    playerView_ = WidgetViewFactory::makeView(PlayerWidgetView::kViewKind, *this, frame);
    return playerView_;
}

void VideoAsset::cleanupMoviePlayer() {
    if (player_)
        player_->pause();
}

std::vector<std::string> VideoAsset::_requiredAssetFileIds() const {
    return {videoFileName_};
}

bool VideoAsset::readyForDisplay() {
    return assetIdAvailable(videoFileName_);
}

void VideoAsset::widgetTapped() {
    VisibleWidget::widgetTapped();
    const auto url = mediaUrlForPress(*this, videoFileName_, "EmbeddedVideo");
    if (!url)
        return;
    dropPlayer();
    player_ = std::make_unique<ui::MediaPlayer>();
    if (!player_->isAvailable()) {
        // Nothing can play here: the player says why, and the page shows no empty picture.
        player_->setSource(*url);
        player_.reset();
        return;
    }
    player_->setLoops(repeat_);
    player_->setSource(*url);
    if (auto view = std::dynamic_pointer_cast<PlayerWidgetView>(playerView_)) {
        if (auto* picture = view->playerView())
            picture->setPlayer(player_.get());
    }
    if (playerView_) {
        playerView_->setHidden(false);
        // Above the widget's button, so that its control bar answers.
        if (auto qt = std::dynamic_pointer_cast<QtWidgetView>(playerView_); qt && qt->widget())
            qt->widget()->raise();
    }
    player_->play();
}

void VideoAsset::didBecomeInactive() {
    VisibleWidget::didBecomeInactive();
    cleanupMoviePlayer();
}

void VideoAsset::dropPlayer() {
    if (!player_)
        return;
    player_->setDidPlayToEnd(nullptr);
    player_->stop();
    if (auto view = std::dynamic_pointer_cast<PlayerWidgetView>(playerView_)) {
        if (auto* picture = view->playerView(); picture && picture->mediaPlayer() == player_.get())
            picture->setPlayer(nullptr);
    }
    player_.reset();
}
