#pragma once
// VnRequestAssetInfo: one asset request of "GetAssetFiles": which content files of an asset are
// wanted (pages, page previews, covers, the XML or interactive files), in which format and, for
// images, at which size. Written with the key "Type" for the format and the property names as
// keys for the rest. Also the format and id-type texts the requests use.
#include <optional>
#include <string>

#include "vnlib/service/params/VnClientServiceParams.h"

// Format texts.
inline constexpr const char* VnAssetFormat_PDF = "PDF";
inline constexpr const char* VnAssetFormat_JPEG = "JPG";
inline constexpr const char* VnAssetFormat_XML = "XML";
inline constexpr const char* VnAssetFormat_EPUB = "EPUB";
inline constexpr const char* VnAssetFormat_DEFAULT = "DEFAULT";

// What the ids of a request denote.
inline constexpr const char* VnAssetIdType_Xml = "XML";
inline constexpr const char* VnAssetIdType_Page = "PAGE";
inline constexpr const char* VnAssetIdType_PagePreview = "PAGEPREVIEW";
inline constexpr const char* VnAssetIdType_Cover = "COVER";
inline constexpr const char* VnAssetIdType_Interactive = "INTERACTIVE";

class VnRequestAssetInfo : public VnClientServiceParams {
    PLAT_CLASS(VnRequestAssetInfo)
  public:
    VnRequestAssetInfo() = default;
    // Keeps copies of the texts and of the id list (a later change of the caller's list does not
    // reach the request).
    void initWithId(std::optional<std::string> requestId, std::optional<std::string> fileFormat,
                    std::optional<std::string> fileIdType, const Ref<plat::Array>& fileIds);
    static Ref<VnRequestAssetInfo> requestWithId(std::optional<std::string> requestId,
                                                 std::optional<std::string> fileFormat,
                                                 std::optional<std::string> fileIdType,
                                                 const Ref<plat::Array>& fileIds);
    // A request for the pages of the page records (VnPageInfo), by their source page indexes in
    // list order, in the given format; no request id, no size.
    static Ref<VnRequestAssetInfo> requestWithPageInfos(const plat::Array& pageInfos,
                                                        std::optional<std::string> format);

    const std::optional<std::string>& requestId() const { return requestId_; }
    const std::optional<std::string>& fileFormat() const { return fileFormat_; }
    const std::optional<std::string>& fileIdType() const { return fileIdType_; }
    const Ref<plat::Array>& fileIds() const { return fileIds_; }
    int32_t width() const { return width_; }
    void setWidth(int32_t width) { width_ = width; }
    int32_t height() const { return height_; }
    void setHeight(int32_t height) { height_ = height; }

    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;
    // The id list is loaded as it stands (it holds ids, not records).
    std::vector<std::string> _propertyNameSetForCustomWrite() const override;

  private:
    // Read-only to callers; the record mapping still loads them, so that a written request reads
    // back into the same request.
    std::optional<std::string> requestId_;
    std::optional<std::string> fileFormat_;
    std::optional<std::string> fileIdType_;
    Ref<plat::Array> fileIds_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};
