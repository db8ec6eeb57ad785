#pragma once
// VnContentAssetId: names one content file of one catalogue item (a page, a preview, the
// rendering metadata, an interactive file, a cover): item code, id text, type, format, and a
// requested pixel size. Ids are keys: equal ids have equal hashes; a copy is the same object.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Object.h"

class VnContentAssetId : public plat::Object {
    PLAT_CLASS(VnContentAssetId)
  public:
    VnContentAssetId(std::optional<std::string> magazineIssueCode, std::string idString,
                     int32_t type, int32_t format);
    static Ref<VnContentAssetId> idWithMagazineIssueCode(std::optional<std::string> code,
                                                         std::string idString, int32_t type,
                                                         int32_t format);

    int32_t format() const { return format_; }
    int32_t assetType() const { return assetType_; }
    const std::string& assetId() const { return assetId_; }
    const std::optional<std::string>& magazineIssueCode() const { return magazineIssueCode_; }
    int32_t width() const { return width_; }
    void setWidth(int32_t width) { width_ = width; }
    int32_t height() const { return height_; }
    void setHeight(int32_t height) { height_ = height; }

    // Same format, type, id text, item code (an id without a code equals nothing), width and
    // height.
    bool isEqual(const plat::Object* other) const;
    // h = 31 * h + value over format, type, the id text's hash, the code's hash, width, height.
    size_t hash() const;
    std::string description() const override;

  private:
    int32_t format_;
    int32_t assetType_;
    std::string assetId_;
    std::optional<std::string> magazineIssueCode_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// Ids as keys of unordered maps.
struct VnContentAssetIdHash {
    size_t operator()(const Ref<VnContentAssetId>& id) const { return id ? id->hash() : 0; }
};
struct VnContentAssetIdEqual {
    bool operator()(const Ref<VnContentAssetId>& a, const Ref<VnContentAssetId>& b) const {
        return a == b || (a && a->isEqual(b.get()));
    }
};
