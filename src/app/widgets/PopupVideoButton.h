#pragma once
// PopupVideoButton ("PopupVideoButton"): only a button with the video icon; each press opens a
// new window with the frame of the program's main window, raised above the page, playing the
// video ("VideoFileName") in a player view with its control bar and full-screen toggle. Each
// window is watched on its own: the end of its video takes its view out of full screen and closes
// that window, and closing it in any way pauses that window's player; both observations go when
// the window closes. Windows closed earlier are let go at the next press. Going, the widget stops
// its players and closes its windows. A press whose file does not resolve is ignored (logged).
#include <QPointer>
#include <memory>
#include <vector>

#include "app/issueui/VisibleWidget.h"
#include "platform/runloop/NotificationCenter.h"

class QWidget;
namespace ui {
class MediaPlayer;
class PlayerView;
class WindowController;
}  // namespace ui

class PopupVideoButton : public VisibleWidget {
    PLAT_CLASS(PopupVideoButton)
  public:
    PopupVideoButton();
    ~PopupVideoButton() override;

    void loadFromDictionary(const plat::Dictionary& description) override;
    std::vector<std::string> _requiredAssetFileIds() const override;
    // The video's file is there (sub-widgets are not asked).
    bool readyForDisplay() override;
    void widgetTapped() override;
    Ref<plat::Image> buttonIcon() const override;
    // No view of its own.
    Ref<WidgetView> newWidgetView(const QRectF&) override { return nullptr; }

    const std::string& videoFileName() const { return videoFileName_; }
    // The windows of the presses since the last one closed before a press, oldest first.
    size_t popupCount() const { return popups_.size(); }
    QWidget* popupWindow(size_t index) const;
    ui::MediaPlayer* popupPlayer(size_t index) const;
    ui::PlayerView* popupView(size_t index) const;
    // The observations in force: two for each window still open.
    size_t observationCount() const;

  private:
    struct Popup;
    void itemDidFinishPlaying(Popup& popup);
    void windowWillClose(Popup& popup);
    void closeAllPopups();
    QRect mainWindowFrame() const;

    std::string videoFileName_;
    std::vector<std::unique_ptr<Popup>> popups_;
};
