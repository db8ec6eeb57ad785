#include "platform_ui/media/MediaPlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QGraphicsVideoItem>
#include <QHBoxLayout>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSlider>
#include <QVideoFrame>
#include <QVideoSink>

namespace ui {

MediaPlayer::MediaPlayer(QObject* parent)
    : QObject(parent), player_(std::make_unique<QMediaPlayer>()) {
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        audio_ = std::make_unique<QAudioOutput>();
        player_->setAudioOutput(audio_.get());
    }
    QObject::connect(player_.get(), &QMediaPlayer::mediaStatusChanged, this,
                     [this](QMediaPlayer::MediaStatus status) {
                         if (status != QMediaPlayer::EndOfMedia || endReported_)
                             return;
                         endReported_ = true;
                         if (didPlayToEnd_)
                             didPlayToEnd_();
                     });
}

MediaPlayer::~MediaPlayer() {
    player_->stop();
    player_->setVideoOutput(static_cast<QObject*>(nullptr));
}

void MediaPlayer::setSource(const QUrl& url) {
    endReported_ = false;
    player_->setSource(url);
}

void MediaPlayer::play() {
    if (player_->mediaStatus() == QMediaPlayer::EndOfMedia)
        player_->setPosition(0);
    endReported_ = false;
    player_->play();
}

void MediaPlayer::pause() {
    player_->pause();
}

void MediaPlayer::stop() {
    player_->stop();
}

bool MediaPlayer::isPlaying() const {
    return player_->playbackState() == QMediaPlayer::PlayingState;
}

PlayerView::PlayerView(MediaPlayer& player, QWidget* parent)
    : QGraphicsView(parent), player_(player), scene_(std::make_unique<QGraphicsScene>()) {
    setScene(scene_.get());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackgroundBrush(Qt::black);
    auto item = std::make_unique<QGraphicsVideoItem>();
    item_ = item.get();
    scene_->addItem(item.release());  // the scene owns its items
    player_.player().setVideoOutput(item_);
    QObject::connect(item_->videoSink(), &QVideoSink::videoFrameChanged, this,
                     [this](const QVideoFrame& frame) {
                         if (frame.isValid())
                             ++frames_;
                     });

    // The control bar: play/pause, position, full screen.
    auto controls = std::make_unique<QWidget>(this);
    auto layout = std::make_unique<QHBoxLayout>();
    auto play = std::make_unique<QPushButton>(QString::fromUtf8("▶"));
    auto position = std::make_unique<QSlider>(Qt::Horizontal);
    auto full = std::make_unique<QPushButton>(QString::fromUtf8("⛶"));
    playButton_ = play.get();
    position_ = position.get();
    fullScreenButton_ = full.get();
    layout->addWidget(play.release());
    layout->addWidget(position.release(), 1);
    layout->addWidget(full.release());
    controls->setLayout(layout.release());
    controls_ = controls.release();  // a child of this view
    QObject::connect(playButton_, &QPushButton::clicked, this, [this] {
        if (player_.isPlaying())
            player_.pause();
        else
            player_.play();
    });
    QObject::connect(fullScreenButton_, &QPushButton::clicked, this,
                     [this] { setFullScreen(!fullScreen_); });
    QObject::connect(&player_.player(), &QMediaPlayer::durationChanged, this,
                     [this](qint64 d) { position_->setRange(0, static_cast<int>(d)); });
    QObject::connect(&player_.player(), &QMediaPlayer::positionChanged, this,
                     [this](qint64 p) { position_->setValue(static_cast<int>(p)); });
    QObject::connect(position_, &QSlider::sliderMoved, this,
                     [this](int p) { player_.player().setPosition(p); });
    layoutItems();
}

PlayerView::~PlayerView() {
    player_.player().setVideoOutput(static_cast<QObject*>(nullptr));
}

void PlayerView::setFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_)
        return;
    fullScreen_ = fullScreen;
    if (fullScreen) {
        normalParent_ = parentWidget();
        normalGeometry_ = geometry();
        normalFlags_ = windowFlags();
        setParent(nullptr);
        showFullScreen();
    } else {
        setParent(normalParent_, normalFlags_);
        setGeometry(normalGeometry_);
        show();
    }
}

void PlayerView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    layoutItems();
}

void PlayerView::layoutItems() {
    const int barHeight = controls_->sizeHint().height();
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(size())));
    item_->setSize(QSizeF(width(), std::max(0, height() - barHeight)));
    controls_->setGeometry(0, height() - barHeight, width(), barHeight);
}

}  // namespace ui
