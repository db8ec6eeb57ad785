#include "vnlib/service/params/VnRequestAssetInfo.h"

#include "platform/core/Property.h"
#include "vnlib/dev/util/VndArrayAdditions.h"

PLAT_DEFINE_CLASS(VnRequestAssetInfo, VnClientServiceParams, [](auto& c) {
    c.property("requestId", "T@\"NSString\",C,N,VrequestId_", &VnRequestAssetInfo::requestId_)
        .property("fileFormat", "T@\"NSString\",C,N,VfileFormat_", &VnRequestAssetInfo::fileFormat_)
        .property("fileIdType", "T@\"NSString\",C,N,VfileIdType_", &VnRequestAssetInfo::fileIdType_)
        .property("fileIds", "T@\"NSArray\",&,N,VfileIds_", &VnRequestAssetInfo::fileIds_)
        .property("width", "Ti,N,Vwidth_", &VnRequestAssetInfo::width,
                  &VnRequestAssetInfo::setWidth)
        .property("height", "Ti,N,Vheight_", &VnRequestAssetInfo::height,
                  &VnRequestAssetInfo::setHeight);
})

void VnRequestAssetInfo::initWithId(std::optional<std::string> requestId,
                                    std::optional<std::string> fileFormat,
                                    std::optional<std::string> fileIdType,
                                    const Ref<plat::Array>& fileIds) {
    requestId_ = std::move(requestId);
    fileFormat_ = std::move(fileFormat);
    fileIdType_ = std::move(fileIdType);
    fileIds_ = fileIds ? Ref<plat::Array>(fileIds->mutableCopy()) : nullptr;
}

Ref<VnRequestAssetInfo> VnRequestAssetInfo::requestWithId(std::optional<std::string> requestId,
                                                          std::optional<std::string> fileFormat,
                                                          std::optional<std::string> fileIdType,
                                                          const Ref<plat::Array>& fileIds) {
    auto request = std::make_shared<VnRequestAssetInfo>();
    request->initWithId(std::move(requestId), std::move(fileFormat), std::move(fileIdType),
                        fileIds);
    return request;
}

Ref<VnRequestAssetInfo> VnRequestAssetInfo::requestWithPageInfos(
    const plat::Array& pageInfos, std::optional<std::string> format) {
    // Integer answers come back boxed, so the ids are numbers.
    auto ids = linq_selectWithSelector(pageInfos, "sourcePageIndex");
    return requestWithId(std::nullopt, std::move(format), std::string(VnAssetIdType_Page), ids);
}

std::string VnRequestAssetInfo::_dictionaryKeyNameWithPropertyName(const std::string& name) const {
    if (name == "fileFormat")
        return "Type";
    return VnClientServiceParams::_dictionaryKeyNameWithPropertyName(name);
}

std::string VnRequestAssetInfo::_propertyNameByDictionaryKeyName(const std::string& key) const {
    if (key == "Type")
        return "fileFormat";
    return VnClientServiceParams::_propertyNameByDictionaryKeyName(key);
}

std::vector<std::string> VnRequestAssetInfo::_propertyNameSetForCustomWrite() const {
    auto names = VnClientServiceParams::_propertyNameSetForCustomWrite();
    names.emplace_back("fileIds");
    return names;
}
