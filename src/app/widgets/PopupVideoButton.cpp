#include "app/widgets/PopupVideoButton.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>

#include "app/services/AreaSeams.h"
#include "app/services/MainWindow.h"
#include "app/widgets/MediaSupport.h"
#include "platform_ui/WindowController.h"
#include "platform_ui/media/MediaPlayer.h"

PLAT_DEFINE_CLASS(PopupVideoButton, VisibleWidget, [](auto&) {})

// One press's window, its player and the observation of its closing.
struct PopupVideoButton::Popup {
    Ref<ui::WindowController> controller;
    std::unique_ptr<ui::MediaPlayer> player;
    QPointer<ui::PlayerView> view;
    plat::NotificationCenter::ObserverId closeObservation = 0;
    bool endObserved = false;
    bool open = true;

    ~Popup() {
        if (view)
            view->setPlayer(nullptr);
    }
};

PopupVideoButton::PopupVideoButton() = default;

PopupVideoButton::~PopupVideoButton() {
    closeAllPopups();
}

void PopupVideoButton::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    if (const auto* name = description.objectForKey("VideoFileName").string())
        videoFileName_ = *name;
}

std::vector<std::string> PopupVideoButton::_requiredAssetFileIds() const {
    return {videoFileName_};
}

bool PopupVideoButton::readyForDisplay() {
    return assetIdAvailable(videoFileName_);
}

Ref<plat::Image> PopupVideoButton::buttonIcon() const {
    return mediaButtonIcon("widgeticon_video");
}

QRect PopupVideoButton::mainWindowFrame() const {
    // The program's main window, even while it is hidden behind the reader.
    const auto main = AreaSeams::shared().get<MainWindow>();
    if (const auto frame = main ? main->frame() : std::nullopt)
        return *frame;
    if (const auto host = std::dynamic_pointer_cast<QtWidgetView>(attachedView());
        host && host->widget())
        return host->widget()->window()->geometry();
    if (const QWidget* active = QApplication::activeWindow())
        return active->geometry();
    return QRect(100, 100, 800, 600);
}

void PopupVideoButton::widgetTapped() {
    VisibleWidget::widgetTapped();
    const auto url = mediaUrlForPress(*this, videoFileName_, "PopupVideoButton");
    if (!url)
        return;
    // Windows closed since the last press go now, outside any of their own callbacks.
    std::erase_if(popups_, [](const auto& popup) { return !popup->open; });

    auto player = std::make_unique<ui::MediaPlayer>();
    if (!player->isAvailable()) {
        // Nothing can play here: the player says why, and no empty window opens.
        player->setSource(*url);
        return;
    }
    auto popup = std::make_unique<Popup>();
    Popup& made = *popup;
    made.controller = std::make_shared<ui::WindowController>();
    QWidget* window = made.controller->window();
    window->setGeometry(mainWindowFrame());
    auto* layout = new QVBoxLayout(window);  // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    made.view = new ui::PlayerView(window);  // owned by the window
    layout->addWidget(made.view);
    made.player = std::move(player);
    made.view->setPlayer(made.player.get());
    made.player->setSource(*url);

    const WeakRef<PopupVideoButton> weak = self<PopupVideoButton>();
    made.player->setDidPlayToEnd([weak, &made] {
        if (const auto widget = weak.lock())
            widget->itemDidFinishPlaying(made);
    });
    made.endObserved = true;
    made.closeObservation = plat::NotificationCenter::defaultCenter().addObserver(
        [weak, &made](const plat::Notification&) {
            if (const auto widget = weak.lock())
                widget->windowWillClose(made);
        },
        ui::kWindowWillCloseNotification, made.controller);
    popups_.push_back(std::move(popup));

    made.controller->showWindow();
    window->activateWindow();
    made.player->play();
}

void PopupVideoButton::itemDidFinishPlaying(Popup& popup) {
    if (popup.view)
        popup.view->setFullScreen(false);
    popup.controller->close();
    windowWillClose(popup);  // also when the window system sent no close
}

void PopupVideoButton::windowWillClose(Popup& popup) {
    if (popup.closeObservation) {
        plat::NotificationCenter::defaultCenter().removeObserver(popup.closeObservation);
        popup.closeObservation = 0;
    }
    popup.player->setDidPlayToEnd(nullptr);
    popup.endObserved = false;
    popup.player->pause();
    popup.open = false;
}

void PopupVideoButton::closeAllPopups() {
    for (const auto& popup : popups_) {
        if (popup->closeObservation)
            plat::NotificationCenter::defaultCenter().removeObserver(popup->closeObservation);
        popup->closeObservation = 0;
        popup->player->setDidPlayToEnd(nullptr);
        popup->endObserved = false;
        popup->player->stop();
        popup->controller->close();
    }
    popups_.clear();
}

QWidget* PopupVideoButton::popupWindow(size_t index) const {
    if (index >= popups_.size() || !popups_[index]->controller->isWindowLoaded())
        return nullptr;
    return popups_[index]->controller->window();
}

ui::MediaPlayer* PopupVideoButton::popupPlayer(size_t index) const {
    return index < popups_.size() ? popups_[index]->player.get() : nullptr;
}

ui::PlayerView* PopupVideoButton::popupView(size_t index) const {
    return index < popups_.size() ? popups_[index]->view.data() : nullptr;
}

size_t PopupVideoButton::observationCount() const {
    size_t count = 0;
    for (const auto& popup : popups_)
        count += (popup->closeObservation != 0 ? 1 : 0) + (popup->endObserved ? 1 : 0);
    return count;
}
