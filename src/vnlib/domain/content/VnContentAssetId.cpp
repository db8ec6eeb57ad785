#include "vnlib/domain/content/VnContentAssetId.h"

#include <functional>

#include "platform/core/Log.h"

PLAT_DEFINE_CLASS(VnContentAssetId, plat::Object, PLAT_NO_METHODS)

VnContentAssetId::VnContentAssetId(std::optional<std::string> magazineIssueCode,
                                   std::string idString, int32_t type, int32_t format)
    : format_(format),
      assetType_(type),
      assetId_(std::move(idString)),
      magazineIssueCode_(std::move(magazineIssueCode)) {}

Ref<VnContentAssetId> VnContentAssetId::idWithMagazineIssueCode(std::optional<std::string> code,
                                                                std::string idString, int32_t type,
                                                                int32_t format) {
    return std::make_shared<VnContentAssetId>(std::move(code), std::move(idString), type, format);
}

bool VnContentAssetId::isEqual(const plat::Object* other) const {
    const auto* id = dynamic_cast<const VnContentAssetId*>(other);
    return id && magazineIssueCode_ && id->magazineIssueCode_ &&
           *magazineIssueCode_ == *id->magazineIssueCode_ && format_ == id->format_ &&
           assetType_ == id->assetType_ && assetId_ == id->assetId_ && width_ == id->width_ &&
           height_ == id->height_;
}

size_t VnContentAssetId::hash() const {
    size_t h = 1;
    const std::hash<std::string> text;
    for (size_t value : {static_cast<size_t>(format_), static_cast<size_t>(assetType_),
                         text(assetId_), magazineIssueCode_ ? text(*magazineIssueCode_) : size_t{0},
                         static_cast<size_t>(width_), static_cast<size_t>(height_)}) {
        h = 31 * h + value;
    }
    return h;
}

std::string VnContentAssetId::description() const {
    return plat::format("<VnContentAssetId %s %s type %d format %d %dx%d>",
                        magazineIssueCode_.value_or("(null)").c_str(), assetId_.c_str(), assetType_,
                        format_, width_, height_);
}
