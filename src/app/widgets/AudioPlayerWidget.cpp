#include "app/widgets/AudioPlayerWidget.h"

#include "app/issueui/WidgetActionButton.h"
#include "app/widgets/MediaSupport.h"
#include "platform_ui/media/MediaPlayer.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(AudioPlayerWidget, VisibleWidget, [](auto&) {})

AudioPlayerWidget::AudioPlayerWidget() = default;

AudioPlayerWidget::~AudioPlayerWidget() {
    dropPlayer();
}

void AudioPlayerWidget::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    audioFileName_ = stringForKey(description, "AudioFileName", "");
    repeat_ = boolForKey(description, "Repeat", false);
}

Ref<plat::Image> AudioPlayerWidget::buttonIcon() const {
    return mediaButtonIcon("widgeticon_video");
}

std::vector<std::string> AudioPlayerWidget::_requiredAssetFileIds() const {
    return {audioFileName_};
}

void AudioPlayerWidget::stopPlaying() {
    dropPlayer();
    if (const auto control = button())
        control->setIcon(mediaButtonIcon("widgeticon_video"));
}

bool AudioPlayerWidget::readyForDisplay() {
    return assetIdAvailable(audioFileName_);
}

void AudioPlayerWidget::invokeButtonAction(const Ref<plat::Object>&) {
    if (player_) {
        stopPlaying();
        return;
    }
    const auto url = mediaUrlForPress(*this, audioFileName_, "AudioPlayer");
    if (!url)
        return;
    player_ = std::make_unique<ui::MediaPlayer>();
    player_->setLoops(repeat_);
    player_->setSource(*url);
    if (const auto control = button())
        control->setIcon(mediaButtonIcon("widgeticon_video_stop"));
    player_->play();
}

void AudioPlayerWidget::didBecomeInactive() {
    VisibleWidget::didBecomeInactive();
    stopPlaying();
}

void AudioPlayerWidget::dropPlayer() {
    if (!player_)
        return;
    player_->stop();
    player_.reset();
}
