#pragma once
// ui::MediaPlayer: plays a video or audio file over QtMultimedia (the ffmpeg backend) and reports
// the end of play once per play. Sound goes out only when an audio device exists; without one the
// player has no output yet plays (and reports playing) all the same. A looping player starts
// again from the beginning at each end instead of reporting it. A file the backend cannot play
// is logged and reported once through the failure handler; nothing waits for it. Where no media
// backend can make a player, every source fails that way and nothing is played.
// ui::PlayerView: the picture of a player, able to lie over a page: a graphics view with a video
// item, a control bar (play/pause, position) and a full-screen toggle. It may be made before its
// player and handed one (or another) later; a player that goes leaves the view empty. The video
// item (and with it the media backend) is made with the first player. The play button shows
// pause while the player plays. In full screen the view is a window of its own over the whole
// screen, with its control bar; Escape, the toggle or closing that window put it back where it
// was, in the widget it came from.
#include <QGraphicsView>
#include <QPointer>
#include <QRegion>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    const QUrl& source() const { return source_; }
    void play();
    void pause();
    void stop();
    bool isPlaying() const;
    bool hasAudioOutput() const { return audio_ != nullptr; }
    QMediaPlayer& player() const { return *player_; }

    // Called at the end of play, once per play; never while looping.
    void setDidPlayToEnd(std::function<void()> handler) { didPlayToEnd_ = std::move(handler); }
    // Looping: at the end, play again from the beginning.
    void setLoops(bool loops) { loops_ = loops; }
    bool loops() const { return loops_; }
    // How often a looping player has started again.
    int completedLoops() const { return completedLoops_; }
    // Called once when the source cannot be played, with the backend's reason.
    void setDidFail(std::function<void(const std::string& reason)> handler) {
        didFail_ = std::move(handler);
    }
    bool hasFailed() const { return failed_; }
    // False when no media backend could make a player.
    bool isAvailable() const { return !unavailable_; }
    // Players made from now on behave as where no backend can make one (tests of that case:
    // a backend that cannot be loaded cannot be chosen in a running process).
    static void setPlayersWithoutBackend(bool without);

  private:
    void mediaStatusChanged(int status);
    void fail(const std::string& reason);

    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<QAudioOutput> audio_;
    std::function<void()> didPlayToEnd_;
    std::function<void(const std::string&)> didFail_;
    QUrl source_;
    bool endReported_ = false;
    bool loops_ = false;
    bool failed_ = false;
    bool unavailable_ = false;
    int completedLoops_ = 0;
};

class PlayerView : public QGraphicsView {
  public:
    explicit PlayerView(QWidget* parent = nullptr);
    explicit PlayerView(MediaPlayer& player, QWidget* parent = nullptr);
    ~PlayerView() override;

    // Shows that player's picture from now on (null: none); the former player keeps playing
    // without a picture.
    void setPlayer(MediaPlayer* player);
    MediaPlayer* mediaPlayer() const { return player_.data(); }
    // The video item, made on first use.
    QGraphicsVideoItem& videoItem();
    int framesShown() const { return frames_; }
    QWidget* controlBar() const { return controls_; }
    QPushButton* playButton() const { return playButton_; }
    QPushButton* fullScreenButton() const { return fullScreenButton_; }
    void setFullScreen(bool fullScreen);
    bool isFullScreen() const { return fullScreen_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void layoutItems();
    void showPlaying(bool playing);
    QPointer<MediaPlayer> player_;
    std::vector<QMetaObject::Connection> playerConnections_;
    std::unique_ptr<QGraphicsScene> scene_;
    QGraphicsVideoItem* item_ = nullptr;  // owned by the scene
    QWidget* controls_;                   // owned by this view
    QPushButton* playButton_;
    QPushButton* fullScreenButton_;
    QSlider* position_;
    int frames_ = 0;
    bool fullScreen_ = false;
    Qt::WindowFlags normalFlags_;
    QRect normalGeometry_;
    QRegion normalMask_;
    QPointer<QWidget> normalParent_;
};

}  // namespace ui
