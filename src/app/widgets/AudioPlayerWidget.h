#pragma once
// AudioPlayerWidget ("AudioPlayer"): a sound of the page's files ("AudioFileName", "" when
// absent: never ready) that the widget's button starts and stops; the button shows the video
// icon while stopped and the stop icon while a player is kept. The end of the sound changes
// nothing: the stop icon stays until the next press, which only stops; "Repeat" loops. A press
// acts at once, without making the page's other widgets inactive; becoming inactive or going
// stops it. A press whose file does not resolve is ignored (logged).
#include <memory>

#include "app/issueui/VisibleWidget.h"

namespace ui {
class MediaPlayer;
}

class AudioPlayerWidget : public VisibleWidget {
    PLAT_CLASS(AudioPlayerWidget)
  public:
    AudioPlayerWidget();
    ~AudioPlayerWidget() override;

    void loadFromDictionary(const plat::Dictionary& description) override;
    Ref<plat::Image> buttonIcon() const override;
    std::vector<std::string> _requiredAssetFileIds() const override;
    // Pauses and drops the player; the button's icon becomes the video icon.
    void stopPlaying();
    // Whether the sound's file is there, asked anew each time.
    bool readyForDisplay() override;
    bool isReadyForDisplay() override { return readyForDisplay(); }
    // Plays when stopped, stops when a player is kept.
    void invokeButtonAction(const Ref<plat::Object>& sender) override;
    void didBecomeInactive() override;

    const std::string& audioFileName() const { return audioFileName_; }
    void setAudioFileName(const std::string& name) { audioFileName_ = name; }
    bool repeats() const { return repeat_; }
    ui::MediaPlayer* player() const { return player_.get(); }

  private:
    void dropPlayer();

    std::string audioFileName_;
    bool repeat_ = false;
    std::unique_ptr<ui::MediaPlayer> player_;
};
