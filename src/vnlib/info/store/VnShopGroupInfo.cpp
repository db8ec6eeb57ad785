#include "vnlib/info/store/VnShopGroupInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnShopGroupInfo, VnInfoWithCover, [](auto& c) {
    c.property("AppCode", "T@\"NSString\",C,N,VAppCode_", &VnShopGroupInfo::AppCode_)
        .property("Id", "T@\"NSString\",C,N,VId_", &VnShopGroupInfo::Id_)
        .property("ImageUrl", "T@\"NSString\",C,N,VImageUrl_", &VnShopGroupInfo::ImageUrl_)
        .property("HeadImageUrl", "T@\"NSString\",C,N,VHeadImageUrl_",
                  &VnShopGroupInfo::HeadImageUrl_)
        .property("Title", "T@\"NSString\",C,N,VTitle_", &VnShopGroupInfo::Title_)
        .property("TitleLC", "T@\"NSDictionary\",&,N,VTitleLC_", &VnShopGroupInfo::TitleLC_)
        .property("Description", "T@\"NSString\",C,N,VDescription_", &VnShopGroupInfo::Description_)
        .property("Price", "T@\"NSString\",C,N,VPrice_", &VnShopGroupInfo::Price_)
        .property("LinkUrl", "T@\"NSString\",C,N,VLinkUrl_", &VnShopGroupInfo::LinkUrl_)
        .property("Type", "Ti,N,VType_", &VnShopGroupInfo::Type_)
        .property("OrderWidget", "Ti,N,VOrderWidget_", &VnShopGroupInfo::OrderWidget_)
        .property("Subwidgets", "T@\"NSArray\",&,N,VSubwidgets_", &VnShopGroupInfo::Subwidgets_)
        .property("OptionalParams", "T@\"NSDictionary\",&,N,VOptionalParams_",
                  &VnShopGroupInfo::OptionalParams_)
        .property("defaultSort", "T@\"NSString\",C,N,VdefaultSort_", &VnShopGroupInfo::defaultSort_)
        .property("isFollow", "Tc,N,VisFollow_", &VnShopGroupInfo::isFollow_)
        .property("ItemType", "Ti,N,VItemType_", &VnShopGroupInfo::ItemType_)
        .property("PredefinedId", "T@\"NSString\",C,N,VPredefinedId_",
                  &VnShopGroupInfo::PredefinedId_)
        .property("ParentPredefinedId", "T@\"NSString\",C,N,VParentPredefinedId_",
                  &VnShopGroupInfo::ParentPredefinedId_)
        .property("subgroupCount", "Ti,R,N", &VnShopGroupInfo::subgroupCount)
        .property("infoKind", "Ti,N,VinfoKind_", &VnShopGroupInfo::infoKind_)
        .property("rootGroupKind", "Ti,R,N", &VnShopGroupInfo::rootGroupKind)
        .property("infoItem", "T@,&,N,VinfoItem_", &VnShopGroupInfo::infoItem_)
        .property("gCode", "Ti,N,VgCode_", &VnShopGroupInfo::gCode_);
})

int32_t VnShopGroupInfo::subgroupCount() const {
    return Subwidgets_ ? static_cast<int32_t>(Subwidgets_->count()) : 0;
}

Ref<VnShopGroupInfo> VnShopGroupInfo::subgroupAtIndex(int32_t index) const {
    if (index < 0 || index >= subgroupCount())
        return nullptr;
    return Subwidgets_->objectAtIndex(static_cast<size_t>(index)).as<VnShopGroupInfo>();
}

int32_t VnShopGroupInfo::rootGroupKind() const {
    return ItemType_ >= 1 && ItemType_ <= 3 ? ItemType_ : 0;
}

Ref<VnShopGroupInfo> VnShopGroupInfo::rootWithGroup(int32_t group) {
    auto info = std::make_shared<VnShopGroupInfo>();
    info->setCode(std::to_string(group));
    return info;
}

const plat::Class* VnShopGroupInfo::_classForPropertyDeserialization(
    const std::string& name) const {
    if (name == "Subwidgets")
        return &VnShopGroupInfo::classObject();
    return VnInfoWithCover::_classForPropertyDeserialization(name);
}

void VnShopGroupInfo::additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) {
    VnInfoWithCover::additionalLoadFromDictionary(dictionary);
    setCode(Id_);
}
