#include "vnlib/info/store/VnPromotionInfo.h"

#include "platform/core/Property.h"
#include "vnlib/info/member/VnDateText.h"

namespace {

constexpr const char* kExpiredDate = "expiredDate";
constexpr const char* kDisplayPattern = "dd/MM/yyyy";

// The properties from `subject` to `spacialLinkUrl`, in declaration order.
template <class C>
void addBannerTexts(plat::ClassBuilder<C>& c) {
    c.property("subject", "T@\"NSString\",C,N,Vsubject_", &C::subject_)
        .property("imageUrl", "T@\"NSString\",C,N,VimageUrl_", &C::imageUrl_)
        .property("imageWidth", "Tf,N,VimageWidth_", &C::imageWidth_)
        .property("imageHeight", "Tf,N,VimageHeight_", &C::imageHeight_)
        .property("title", "T@\"NSString\",C,N,Vtitle_", &C::title_)
        .property("subTitle", "T@\"NSString\",C,N,VsubTitle_", &C::subTitle_)
        .property("detail", "T@\"NSString\",C,N,Vdetail_", &C::detail_)
        .property("linkUrl", "T@\"NSString\",C,N,VlinkUrl_", &C::linkUrl_)
        .property("spacialCenterText", "T@\"NSString\",C,N,VspacialCenterText_",
                  &C::spacialCenterText_)
        .property("spacialCenterSmallText", "T@\"NSString\",C,N,VspacialCenterSmallText_",
                  &C::spacialCenterSmallText_)
        .property("spacialCaption", "T@\"NSString\",C,N,VspacialCaption_", &C::spacialCaption_)
        .property("spacialLeftImageUrl", "T@\"NSString\",C,N,VspacialLeftImageUrl_",
                  &C::spacialLeftImageUrl_)
        .property("spacialRightImageUrl", "T@\"NSString\",C,N,VspacialRightImageUrl_",
                  &C::spacialRightImageUrl_)
        .property("spacialLinkUrl", "T@\"NSString\",C,N,VspacialLinkUrl_", &C::spacialLinkUrl_);
}

// The properties from `expiredDate` to `orderId`.
template <class C>
void addBannerTail(plat::ClassBuilder<C>& c) {
    c.property("expiredDate", "T@\"NSDate\",&,N,VexpiredDate_", &C::expiredDate_)
        .property("appCode", "T@\"NSString\",C,N,VappCode_", &C::appCode_)
        .property("orderId", "T@\"NSString\",C,N,VorderId_", &C::orderId_);
}

template <class C>
void addDisplayDates(plat::ClassBuilder<C>& c) {
    c.property("createDateString", "T@\"NSString\",R,C,N", &C::createDateString)
        .property("expireDateString", "T@\"NSString\",R,C,N", &C::expireDateString);
}

}  // namespace

PLAT_DEFINE_CLASS(VnPromotionInfo, VnInfoWithCover, [](auto& c) {
    c.property("promotionId", "T@\"NSString\",C,N,VpromotionId_", &VnPromotionInfo::promotionId_);
    addBannerTexts(c);
    c.property("createDate", "T@\"NSDate\",&,N,VcreateDate_", &VnPromotionInfo::createDate_);
    addBannerTail(c);
    addDisplayDates(c);
})

PLAT_DEFINE_CLASS(VnMessageInfo, VnInfoBase, [](auto& c) {
    c.property("messageId", "T@\"NSString\",C,N,VmessageId_", &VnMessageInfo::messageId_);
    addBannerTexts(c);
    c.property("creatDate", "T@\"NSDate\",&,N,VcreatDate_", &VnMessageInfo::createDate_);
    addBannerTail(c);
    c.property("imageLinks", "T@\"NSArray\",&,N,VimageLinks_", &VnMessageInfo::imageLinks_)
        .property("type", "Ti,N,Vtype_", &VnMessageInfo::type_)
        .property("displayType", "Ti,N,VdisplayType_", &VnMessageInfo::displayType_);
    addDisplayDates(c);
})

template <class Base>
std::optional<std::string> VnBannerInfo<Base>::createDateString() const {
    return VnDateText::localText(createDate_, kDisplayPattern);
}

template <class Base>
std::optional<std::string> VnBannerInfo<Base>::expireDateString() const {
    return VnDateText::localText(expiredDate_, kDisplayPattern);
}

template <class Base>
std::vector<std::string> VnBannerInfo<Base>::_propertyNameSetForCustomWrite() const {
    auto names = Base::_propertyNameSetForCustomWrite();
    names.insert(names.end(), {creationDatePropertyName(), kExpiredDate});
    return names;
}

template <class Base>
void VnBannerInfo<Base>::setSerializedValue(const plat::Value& value, const std::string& key) {
    // A null or a text that does not parse stores no date.
    if (key == creationDatePropertyName()) {
        createDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else if (key == kExpiredDate) {
        expiredDate_ = VnDateText::dateFromValue(dateFormatter(), value);
    } else {
        Base::setSerializedValue(value, key);
    }
}

template <class Base>
plat::Value VnBannerInfo<Base>::serializedValueForProperty(const std::string& name,
                                                           const plat::PropertyEntry* property,
                                                           bool transient) const {
    if (name == creationDatePropertyName()) {
        return VnDateText::valueFromDate(dateFormatter(), createDate_);
    }
    if (name == kExpiredDate)
        return VnDateText::valueFromDate(dateFormatter(), expiredDate_);
    return Base::serializedValueForProperty(name, property, transient);
}

template class VnBannerInfo<VnInfoWithCover>;
template class VnBannerInfo<VnInfoBase>;

const plat::DateFormatter& VnPromotionInfo::dateFormatter() const {
    static const plat::DateFormatter formatter("yyyy/MM/dd HH:mm:ss", plat::TimeZone::utc());
    return formatter;
}

const plat::DateFormatter& VnMessageInfo::dateFormatter() const {
    static const plat::DateFormatter formatter("yyyy/MM/dd HH:mm:ss", plat::TimeZone::utc());
    return formatter;
}
