#include "platform_ui/media/MediaPlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCloseEvent>
#include <QGraphicsVideoItem>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVideoFrame>
#include <QVideoSink>
#include <atomic>
#include <tuple>

#include "platform/core/Log.h"

namespace ui {

namespace {

// The ffmpeg backend is the one the program's packages bring; Qt's default on Linux needs
// GStreamer plugins that a machine may lack, and then fails inside its player. Chosen before the
// first player is made, unless the user chose one.
std::unique_ptr<QMediaPlayer> makePlayer() {
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    return std::make_unique<QMediaPlayer>();
}

// The full-screen toggle's icon, drawn here: four corner brackets of a square (no font carries a
// symbol for it).
QIcon fullScreenIcon() {
    QIcon icon;
    for (const int side : {16, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = side / 16.0;
        painter.setPen(
            QPen(QColor(40, 40, 40), 1.6 * unit, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const qreal a = 2.5 * unit, b = side - 2.5 * unit, arm = 4 * unit;
        for (const auto& [x, y, dx, dy] : {std::tuple{a, a, 1.0, 1.0},
                                           {b, a, -1.0, 1.0},
                                           {a, b, 1.0, -1.0},
                                           {b, b, -1.0, -1.0}}) {
            const QPointF corner(x, y);
            painter.drawPolyline(
                QPolygonF({corner + QPointF(0, dy * arm), corner, corner + QPointF(dx * arm, 0)}));
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The play button's texts: play, and pause while the player plays.
constexpr const char* kPlayText = "▶";
constexpr const char* kPauseText = "❚❚";

std::atomic<bool> playersWithoutBackend{false};

}  // namespace

void MediaPlayer::setPlayersWithoutBackend(bool without) {
    playersWithoutBackend = without;
}

MediaPlayer::MediaPlayer(QObject* parent) : QObject(parent), player_(makePlayer()) {
    if (playersWithoutBackend || !player_->isAvailable()) {
        // No backend could make a player: every play reports the failure, none is attempted.
        unavailable_ = true;
        return;
    }
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        audio_ = std::make_unique<QAudioOutput>();
        player_->setAudioOutput(audio_.get());
    }
    QObject::connect(player_.get(), &QMediaPlayer::mediaStatusChanged, this,
                     [this](QMediaPlayer::MediaStatus status) { mediaStatusChanged(status); });
    QObject::connect(
        player_.get(), &QMediaPlayer::errorOccurred, this,
        [this](QMediaPlayer::Error error, const QString& text) {
            if (error != QMediaPlayer::NoError)
                fail(text.isEmpty() ? "error " + std::to_string(error) : text.toStdString());
        });
}

MediaPlayer::~MediaPlayer() {
    if (unavailable_)
        return;
    player_->stop();
    player_->setVideoOutput(static_cast<QObject*>(nullptr));
}

void MediaPlayer::mediaStatusChanged(int status) {
    if (status == QMediaPlayer::InvalidMedia) {
        fail("the file is no media the player can read");
        return;
    }
    if (status != QMediaPlayer::EndOfMedia || endReported_ || failed_)
        return;
    if (loops_) {
        ++completedLoops_;
        player_->setPosition(0);
        player_->play();
        return;
    }
    endReported_ = true;
    // A copy: the handler may replace itself.
    if (const auto handler = didPlayToEnd_)
        handler();
}

void MediaPlayer::fail(const std::string& reason) {
    if (failed_)
        return;
    failed_ = true;
    plat::log(plat::format("The media file %s cannot be played: %s",
                           source_.fileName().toStdString().c_str(), reason.c_str()));
    if (!unavailable_)
        player_->stop();
    if (const auto handler = didFail_)
        handler(reason);
}

void MediaPlayer::setSource(const QUrl& url) {
    endReported_ = false;
    failed_ = false;
    completedLoops_ = 0;
    source_ = url;
    if (unavailable_) {
        fail("no media backend can play here");
        return;
    }
    player_->setSource(url);
}

void MediaPlayer::play() {
    if (unavailable_ && !failed_)
        fail("no media backend can play here");
    if (failed_)
        return;
    if (player_->mediaStatus() == QMediaPlayer::EndOfMedia)
        player_->setPosition(0);
    endReported_ = false;
    player_->play();
}

void MediaPlayer::pause() {
    if (!unavailable_)
        player_->pause();
}

void MediaPlayer::stop() {
    if (!unavailable_)
        player_->stop();
}

bool MediaPlayer::isPlaying() const {
    return player_->playbackState() == QMediaPlayer::PlayingState;
}

PlayerView::PlayerView(MediaPlayer& player, QWidget* parent) : PlayerView(parent) {
    setPlayer(&player);
}

PlayerView::PlayerView(QWidget* parent)
    : QGraphicsView(parent), scene_(std::make_unique<QGraphicsScene>()) {
    setScene(scene_.get());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackgroundBrush(Qt::black);

    // The control bar: play/pause, position, full screen.
    auto controls = std::make_unique<QWidget>(this);
    auto layout = std::make_unique<QHBoxLayout>();
    auto play = std::make_unique<QPushButton>(QString::fromUtf8(kPlayText));
    auto position = std::make_unique<QSlider>(Qt::Horizontal);
    auto full = std::make_unique<QPushButton>();
    full->setIcon(fullScreenIcon());
    full->setToolTip("Full screen");
    playButton_ = play.get();
    position_ = position.get();
    fullScreenButton_ = full.get();
    layout->addWidget(play.release());
    layout->addWidget(position.release(), 1);
    layout->addWidget(full.release());
    controls->setLayout(layout.release());
    controls_ = controls.release();  // a child of this view
    QObject::connect(playButton_, &QPushButton::clicked, this, [this] {
        if (!player_)
            return;
        if (player_->isPlaying())
            player_->pause();
        else
            player_->play();
    });
    QObject::connect(fullScreenButton_, &QPushButton::clicked, this,
                     [this] { setFullScreen(!fullScreen_); });
    QObject::connect(position_, &QSlider::sliderMoved, this, [this](int p) {
        if (player_)
            player_->player().setPosition(p);
    });
    layoutItems();
}

PlayerView::~PlayerView() {
    setPlayer(nullptr);
}

QGraphicsVideoItem& PlayerView::videoItem() {
    if (!item_) {
        auto item = std::make_unique<QGraphicsVideoItem>();
        item_ = item.get();
        scene_->addItem(item.release());  // the scene owns its items
        QObject::connect(item_->videoSink(), &QVideoSink::videoFrameChanged, this,
                         [this](const QVideoFrame& frame) {
                             if (frame.isValid())
                                 ++frames_;
                         });
        layoutItems();
    }
    return *item_;
}

void PlayerView::setPlayer(MediaPlayer* player) {
    if (player == player_.data())
        return;
    for (const auto& connection : playerConnections_)
        QObject::disconnect(connection);
    playerConnections_.clear();
    if (player_ && player_->isAvailable())
        player_->player().setVideoOutput(static_cast<QObject*>(nullptr));
    player_ = player;
    position_->setRange(0, 0);
    showPlaying(false);
    // A player no backend could make shows nothing.
    if (!player || !player->isAvailable())
        return;
    QMediaPlayer& media = player->player();
    media.setVideoOutput(&videoItem());
    showPlaying(player->isPlaying());
    playerConnections_.push_back(
        QObject::connect(&media, &QMediaPlayer::playbackStateChanged, this,
                         [this](QMediaPlayer::PlaybackState state) {
                             showPlaying(state == QMediaPlayer::PlayingState);
                         }));
    position_->setRange(0, static_cast<int>(media.duration()));
    playerConnections_.push_back(
        QObject::connect(&media, &QMediaPlayer::durationChanged, this,
                         [this](qint64 d) { position_->setRange(0, static_cast<int>(d)); }));
    playerConnections_.push_back(
        QObject::connect(&media, &QMediaPlayer::positionChanged, this,
                         [this](qint64 p) { position_->setValue(static_cast<int>(p)); }));
}

void PlayerView::showPlaying(bool playing) {
    playButton_->setText(QString::fromUtf8(playing ? kPauseText : kPlayText));
}

void PlayerView::setFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_)
        return;
    fullScreen_ = fullScreen;
    if (fullScreen) {
        normalParent_ = parentWidget();
        normalGeometry_ = geometry();
        normalFlags_ = windowFlags();
        // What clipped the view to its place (a page's edge) would cut the whole screen.
        normalMask_ = mask();
        clearMask();
        QScreen* shownOn = screen();
        setParent(nullptr);
        // Where no window manager makes a full-screen window cover the screen, the geometry does.
        if (shownOn)
            setGeometry(shownOn->geometry());
        showFullScreen();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        setParent(normalParent_, normalFlags_);
        // Back in the layout that placed it, if one did.
        if (QLayout* layout = normalParent_ ? normalParent_->layout() : nullptr;
            layout && layout->indexOf(this) < 0)
            layout->addWidget(this);
        setGeometry(normalGeometry_);
        if (!normalMask_.isEmpty())
            setMask(normalMask_);
        show();
    }
}

void PlayerView::keyPressEvent(QKeyEvent* event) {
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        setFullScreen(false);
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

void PlayerView::closeEvent(QCloseEvent* event) {
    // Closing the full-screen window (its title bar, Alt+F4) leaves full screen: the view goes
    // back to its place, it does not go.
    if (fullScreen_) {
        event->ignore();
        setFullScreen(false);
        return;
    }
    QGraphicsView::closeEvent(event);
}

void PlayerView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    layoutItems();
}

void PlayerView::layoutItems() {
    const int barHeight = controls_->sizeHint().height();
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(size())));
    if (item_)
        item_->setSize(QSizeF(width(), std::max(0, height() - barHeight)));
    controls_->setGeometry(0, height() - barHeight, width(), barHeight);
}

}  // namespace ui
