#pragma once
// ui::MediaPlayer: plays a video or audio file over QtMultimedia (the ffmpeg backend) and reports
// the end of play once per play. Sound goes out only when an audio device exists.
// ui::PlayerView: the picture of a player, able to lie over a page: a graphics view with a video
// item, a control bar (play/pause, position) and a full-screen toggle.
#include <QGraphicsView>
#include <QUrl>
#include <functional>
#include <memory>

class QAudioOutput;
class QGraphicsVideoItem;
class QMediaPlayer;
class QPushButton;
class QSlider;
class QVideoFrame;

namespace ui {

class MediaPlayer : public QObject {
  public:
    explicit MediaPlayer(QObject* parent = nullptr);
    ~MediaPlayer() override;

    void setSource(const QUrl& url);
    void play();
    void pause();
    void stop();
    bool isPlaying() const;
    bool hasAudioOutput() const { return audio_ != nullptr; }
    QMediaPlayer& player() const { return *player_; }

    void setDidPlayToEnd(std::function<void()> handler) { didPlayToEnd_ = std::move(handler); }

  private:
    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<QAudioOutput> audio_;
    std::function<void()> didPlayToEnd_;
    bool endReported_ = false;
};

class PlayerView : public QGraphicsView {
  public:
    explicit PlayerView(MediaPlayer& player, QWidget* parent = nullptr);
    ~PlayerView() override;

    QGraphicsVideoItem& videoItem() const { return *item_; }
    int framesShown() const { return frames_; }
    void setFullScreen(bool fullScreen);
    bool isFullScreen() const { return fullScreen_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layoutItems();
    MediaPlayer& player_;
    std::unique_ptr<QGraphicsScene> scene_;
    QGraphicsVideoItem* item_;  // owned by the scene
    QWidget* controls_;         // owned by this view
    QPushButton* playButton_;
    QPushButton* fullScreenButton_;
    QSlider* position_;
    int frames_ = 0;
    bool fullScreen_ = false;
    Qt::WindowFlags normalFlags_;
    QRect normalGeometry_;
    QWidget* normalParent_ = nullptr;
};

}  // namespace ui
