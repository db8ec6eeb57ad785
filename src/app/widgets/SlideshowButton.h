#pragma once
// SlideshowButton: a button on the page (icon "widgeticon_slideshow") that shows pictures
// ("ImageFileNames") in a popup, which is the widget's view: hidden when placed, shown by a
// press with the pictures gathered anew and raised above the widget's button, so that its own
// close control can be clicked. "PopupStyle" 2 gives an image strip at the popup frame
// ("PopupFrame", which is also the widget's frame; the strip's close button from
// "CloseButtonVisible", hidden by default for that style), any other style a picture scroller
// over the whole view the widget is attached to.
//
// The popup-active state, the scroll lock it may take ("LockReaderScrollWhenActive") and the
// background shade ("HasBackgroundShade", black at alpha 0.5) are kept but nothing shows a popup
// as active, so they change nothing on screen.
#include <QColor>
#include <QPointer>

#include "app/issueui/VisibleWidget.h"

class ImageListScroller;
class PictureScroller;

class SlideshowButton : public VisibleWidget {
    PLAT_CLASS(SlideshowButton)
  public:
    SlideshowButton() = default;
    ~SlideshowButton() override;

    void loadFromDictionary(const plat::Dictionary& description) override;
    void setPopupActive(bool active);
    void deactivatePopup();
    void backgroundTouchUpInside() { setPopupActive(false); }
    void didBecomeInactive() override;
    // Yes while a strip exists (which asks the popup to become inactive).
    bool raiseTouchUpInsidePageBounds() const override;
    // The popup frame.
    QRectF frame() const override { return popupFrame_; }
    // Shows the popup.
    void widgetTapped() override;
    std::vector<std::string> _requiredAssetFileIds() const override { return imageFileNames_; }
    bool hasButton() const override { return true; }
    Ref<plat::Image> buttonIcon() const override;
    // Every picture's file is there.
    bool readyForDisplay() override;
    // The hidden popup.
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;

    const std::vector<std::string>& imageFileNames() const { return imageFileNames_; }
    const QRectF& popupFrame() const { return popupFrame_; }
    bool isFullScreen() const { return isFullScreen_; }
    int32_t popupStyle() const { return popupStyle_; }
    bool hasBackgroundShade() const { return hasBackgroundShade_; }
    bool isCloseButtonVisible() const { return isCloseButtonVisible_; }
    bool popupActive() const { return popupActive_; }
    const QColor& backgroundColor() const { return backgroundColor_; }
    double backgroundAlpha() const { return backgroundAlpha_; }
    ImageListScroller* imageListScroller() const;
    const Ref<PictureScroller>& pictureScroller() const { return pictureScroller_; }
    // The popup made last (while it lives).
    Ref<WidgetView> popupView() const { return popupView_.lock(); }

  private:
    void closePopups();

    std::vector<std::string> imageFileNames_;
    QRectF popupFrame_;
    bool isFullScreen_ = true;
    int32_t popupStyle_ = 0;
    bool hasBackgroundShade_ = false;
    bool isCloseButtonVisible_ = true;
    QPointer<ImageListScroller> imageListScroller_;
    Ref<PictureScroller> pictureScroller_;
    Ref<WidgetView> popupBackgroundView_;
    bool popupActive_ = false;
    QColor backgroundColor_ = QColor(0, 0, 0);
    double backgroundAlpha_ = 0.5;
    WeakRef<WidgetView> popupView_;
};
