#include "app/widgets/SlideshowButton.h"

#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetContext.h"
#include "app/widgets/ImageListScroller.h"
#include "app/widgets/PictureScroller.h"
#include "platform/image/Image.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(SlideshowButton, VisibleWidget, PLAT_NO_METHODS)

SlideshowButton::~SlideshowButton() {
    closePopups();
}

ImageListScroller* SlideshowButton::imageListScroller() const {
    return imageListScroller_;
}

void SlideshowButton::closePopups() {
    if (imageListScroller_)
        imageListScroller_->setOpen(false);
    if (pictureScroller_)
        pictureScroller_->closeButtonTouchUpInside();
}

void SlideshowButton::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    if (const auto names = description.objectForKey("ImageFileNames").array()) {
        names->enumerate([&](const plat::Value& name) {
            if (const auto* text = name.string())
                imageFileNames_.push_back(*text);
            return true;
        });
    }
    if (const auto frameText = stringForKey(description, "PopupFrame")) {
        popupFrame_ = WidgetContext::rectFromString(*frameText);
        isFullScreen_ = false;
    }
    popupStyle_ = intForKey(description, "PopupStyle", 0);
    hasBackgroundShade_ = boolForKey(description, "HasBackgroundShade", false);
    isCloseButtonVisible_ = boolForKey(description, "CloseButtonVisible", popupStyle_ != 2);
}

void SlideshowButton::setPopupActive(bool active) {
    if (active == popupActive_)
        return;
    popupActive_ = active;
    if (!active)
        deactivatePopup();
    if (lockReaderScrollWhenActive()) {
        if (active)
            WidgetContext::defaultContext()->lockScroll();
        else
            WidgetContext::defaultContext()->unlockScroll();
    }
}

void SlideshowButton::deactivatePopup() {
    imageListScroller_.clear();
    popupBackgroundView_.reset();
    if (const auto& ownButton = button())
        ownButton->didBecomeInactive();
}

void SlideshowButton::didBecomeInactive() {
    VisibleWidget::didBecomeInactive();
    setPopupActive(false);
}

bool SlideshowButton::raiseTouchUpInsidePageBounds() const {
    if (!imageListScroller_)
        return VisibleWidget::raiseTouchUpInsidePageBounds();
    // Asking for an inactive popup changes the widget, whatever the caller holds.
    const_cast<SlideshowButton*>(this)->setPopupActive(false);
    return true;
}

Ref<plat::Image> SlideshowButton::buttonIcon() const {
    return AssetManager::classImageById("widgeticon_slideshow");
}

bool SlideshowButton::readyForDisplay() {
    return assetIdListAvailable(imageFileNames_);
}

Ref<WidgetView> SlideshowButton::newWidgetView(const QRectF& frame) {
    Ref<WidgetView> view;
    if (popupStyle_ != 2) {
        const auto& host = attachedView();
        const QSizeF size = host ? host->frame().size() : QSizeF();
        view = WidgetViewFactory::makeView(PictureScrollerView::kViewKind, *this,
                                           QRectF(QPointF(), size));
        if (!view)
            return nullptr;
        view->setFrame(QRectF(QPointF(), size));
        if (auto* pictures = dynamic_cast<PictureScrollerView*>(view.get()))
            pictureScroller_ = pictures->controller();
    } else {
        view = WidgetViewFactory::makeView(ImageListScroller::kViewKind, *this, frame);
        if (!view)
            return nullptr;
        if (auto* qt = dynamic_cast<QtWidgetView*>(view.get()))
            imageListScroller_ = dynamic_cast<ImageListScroller*>(qt->widget());
        if (imageListScroller_)
            imageListScroller_->setCloseButtonVisible(isCloseButtonVisible_);
    }
    view->setHidden(true);
    popupView_ = view;
    return view;
}

void SlideshowButton::widgetTapped() {
    std::vector<Ref<plat::Image>> images;
    for (const auto& name : imageFileNames_) {
        if (auto image = imageWithAssetId(name))
            images.push_back(std::move(image));
    }
    const auto view = popupView_.lock();
    if (popupStyle_ != 2) {
        if (view)
            view->setHidden(false);
        if (pictureScroller_)
            pictureScroller_->reloadPictures(images);
    } else {
        if (view)
            view->setHidden(false);
        if (imageListScroller_)
            imageListScroller_->setImages(
                std::make_shared<const std::vector<Ref<plat::Image>>>(std::move(images)));
    }
    // Above the widget's button, which lies over it when added later.
    if (auto* qt = dynamic_cast<QtWidgetView*>(view.get()); qt && qt->widget())
        qt->widget()->raise();
}
