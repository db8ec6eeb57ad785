#include "app/issueui/OverlayWidgets.h"

#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(ItemHighlighterWidget, OverlayData, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(ItemCloseUpButtonData, OverlayData, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(InlineImageScroller, OverlayData, PLAT_NO_METHODS)

void HighlightData::loadHighlight(const plat::Dictionary& description) {
    imageFileName_ = stringForKey(description, "FileName");
    blinks_ = boolForKey(description, "Blinks", true);
}

void ItemHighlighterWidget::loadFromDictionary(const plat::Dictionary& description) {
    OverlayData::loadFromDictionary(description);
    loadHighlight(description);
}

std::vector<std::string> ItemHighlighterWidget::_requiredAssetFileIds() const {
    if (!imageFileName())
        return {};
    return {*imageFileName()};
}

bool ItemHighlighterWidget::readyForDisplay() {
    return imageFileName() && assetIdAvailable(*imageFileName());
}

void ItemCloseUpButtonData::loadFromDictionary(const plat::Dictionary& description) {
    OverlayData::loadFromDictionary(description);
    loadHighlight(description);
}

void InlineImageScroller::loadFromDictionary(const plat::Dictionary& description) {
    OverlayData::loadFromDictionary(description);
    imageNames_.clear();
    if (auto images = description.objectForKey("Images").array()) {
        images->enumerate([&](const plat::Value& name) {
            if (const std::string* text = name.string())
                imageNames_.push_back(*text);
            return true;
        });
    }
}

void InlineImageScroller::layoutWidget(const QTransform& transformation) {
    if (!widgetView_)
        return;
    const QRectF viewFrame = transformation.mapRect(frame());
    widgetView_->setFrame(viewFrame);
    double left = 0;
    for (const auto& subview : widgetView_->subviews()) {
        if (subview->tag() > 0) {
            subview->setFrame(QRectF(left, 0, viewFrame.width(), viewFrame.height()));
            left += viewFrame.width();
        }
    }
}

void registerIssueUIWidgetClasses() {
    WidgetFactory::registerWidgetClass<ItemHighlighterWidget>("ItemHighlighterWidget");
    WidgetFactory::registerWidgetClass<InlineImageScroller>("InlineImageScroller");
}
