#include "app/issueui/WidgetAssetManager.h"

#include <QImage>

#include "platform/image/Image.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"

PLAT_DEFINE_CLASS(WidgetAssetManager, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(AssetManager, plat::Object, PLAT_NO_METHODS)

namespace {

// The program's named picture.
Ref<plat::Image> namedImage(const std::string& name) {
    QImage image = ui::ResourceRegistry::shared().imageNamed(name);
    if (image.isNull())
        return nullptr;
    return std::make_shared<plat::Image>(plat::Image::Decoded{},
                                         std::make_unique<QImage>(std::move(image)));
}

}  // namespace

WidgetAssetManager::WidgetAssetManager(Ref<VnMagazineIssuePageContext> pageContext)
    : sourceKind_(kSourcePage), context_(std::move(pageContext)) {}

Ref<WidgetAssetManager> WidgetAssetManager::initWithFolder(std::string folder) {
    auto manager = std::make_shared<WidgetAssetManager>();
    manager->assetFolder_ = std::move(folder);
    manager->sourceKind_ = kSourcePage;
    return manager;
}

std::optional<std::string> WidgetAssetManager::assetFilePathForAssetId(
    const std::string& assetId) const {
    if (sourceKind_ == kSourcePage) {
        auto asset = context_ ? context_->interactiveAssetWithId(assetId) : nullptr;
        if (!asset)
            return std::nullopt;
        return asset->filePath().string();
    }
    auto path = ui::ResourceRegistry::shared().pathForResource(assetId);
    if (!path)
        return std::nullopt;
    return path->string();
}

bool WidgetAssetManager::assetAvailableForAssetId(const std::string& assetId) const {
    return context_ && context_->interactiveAssetWithId(assetId) != nullptr;
}

Ref<plat::Image> WidgetAssetManager::imageWithAssetId(const std::string& assetId) const {
    if (sourceKind_ == kSourcePage) {
        auto asset = context_ ? context_->interactiveAssetWithId(assetId) : nullptr;
        auto data = asset ? asset->data() : std::nullopt;
        return data ? plat::Image::imageWithData(*data) : nullptr;
    }
    return namedImage(assetId);
}

Ref<WidgetAssetManager> WidgetAssetManager::bundledAssetManager() {
    static const Ref<WidgetAssetManager> shared = std::make_shared<WidgetAssetManager>();
    return shared;
}

Ref<AssetManager> AssetManager::mainManager() {
    static const Ref<AssetManager> shared = std::make_shared<AssetManager>();
    return shared;
}

Ref<plat::Image> AssetManager::imageById(const std::string& name) const {
    return namedImage(name);
}

Ref<plat::Image> AssetManager::classImageById(const std::string& name) {
    return mainManager()->imageById(name);
}
