#include "app/issueui/OverlayData.h"

#include <cmath>

#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetContext.h"
#include "platform/image/Image.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(OverlayData, plat::Object, PLAT_NO_METHODS)

OverlayData::~OverlayData() = default;

namespace {

double finiteOrZero(float value) {
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

void OverlayData::loadFromDictionary(const plat::Dictionary& description) {
    const plat::Value frameText = description.objectForKey("Frame");
    if (const std::string* text = frameText.string()) {
        frame_ = WidgetContext::rectFromString(*text);
        return;
    }
    frame_ = QRectF(finiteOrZero(floatForKey(description, "X", 0)),
                    finiteOrZero(floatForKey(description, "Y", 0)),
                    finiteOrZero(floatForKey(description, "Width", 0)),
                    finiteOrZero(floatForKey(description, "Height", 0)));
}

void OverlayData::attachToView(const Ref<WidgetView>&, const QTransform&) {}

Ref<plat::Image> OverlayData::imageWithAssetId(const std::string& assetId) const {
    if (assetManager_) {
        if (auto image = assetManager_->imageWithAssetId(assetId))
            return image;
    }
    return WidgetAssetManager::bundledAssetManager()->imageWithAssetId(assetId);
}

std::optional<std::string> OverlayData::assetFilePathForAssetId(const std::string& assetId) const {
    if (assetManager_)
        return assetManager_->assetFilePathForAssetId(assetId);
    return WidgetAssetManager::bundledAssetManager()->assetFilePathForAssetId(assetId);
}

bool OverlayData::assetIdAvailable(const std::string& assetId) const {
    return assetManager_ && assetManager_->assetFilePathForAssetId(assetId).has_value();
}

bool OverlayData::assetIdListAvailable(const std::vector<std::string>& assetIds) const {
    for (const auto& assetId : assetIds) {
        if (!assetIdAvailable(assetId))
            return false;
    }
    return true;
}

bool OverlayData::isReadyForDisplay() {
    if (!readyForDisplay_)
        readyForDisplay_ = readyForDisplay();
    return readyForDisplay_;
}

void OverlayData::didBecomeInactive() {
    purgeCacheData();
}
