#pragma once
// WidgetAssetManager: turns a widget's asset id into a file path, a picture or an availability
// answer, from the interactive files downloaded for one page (source 1) or from the program's
// resources (source 0). Resource names that could leave the resource folders are refused.
// AssetManager: the program's named pictures.
#include <optional>
#include <string>

#include "platform/core/Object.h"

namespace plat {
class Image;
}
class VnMagazineIssuePageContext;

class WidgetAssetManager : public plat::Object {
    PLAT_CLASS(WidgetAssetManager)
  public:
    static constexpr int32_t kSourceResources = 0;
    static constexpr int32_t kSourcePage = 1;

    // Over the program's resources.
    WidgetAssetManager() = default;
    // Over the page's interactive files.
    explicit WidgetAssetManager(Ref<VnMagazineIssuePageContext> pageContext);
    // Keeps a folder and marks the page source; nothing is read from the folder.
    static Ref<WidgetAssetManager> initWithFolder(std::string folder);

    std::optional<std::string> assetFilePathForAssetId(const std::string& assetId) const;
    // Whether the page has a downloaded file of that id (asked of the page whatever the source).
    bool assetAvailableForAssetId(const std::string& assetId) const;
    Ref<plat::Image> imageWithAssetId(const std::string& assetId) const;

    // The one manager over the program's resources.
    static Ref<WidgetAssetManager> bundledAssetManager();

    int32_t sourceKind() const { return sourceKind_; }
    const Ref<VnMagazineIssuePageContext>& context() const { return context_; }
    const std::string& assetFolder() const { return assetFolder_; }

  private:
    int32_t sourceKind_ = kSourceResources;
    Ref<VnMagazineIssuePageContext> context_;
    std::string assetFolder_;
};

class AssetManager : public plat::Object {
    PLAT_CLASS(AssetManager)
  public:
    static Ref<AssetManager> mainManager();
    // The program's named picture; null when none.
    Ref<plat::Image> imageById(const std::string& name) const;
    static Ref<plat::Image> classImageById(const std::string& name);
};
