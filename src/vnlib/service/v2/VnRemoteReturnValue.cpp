#include "vnlib/service/v2/VnRemoteReturnValue.h"

#include "platform/core/Property.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndObjectAdditions.h"

PLAT_DEFINE_CLASS(VnRemoteReturnValue, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnCommonBoolReturnValue, VnRemoteReturnValue, [](auto& c) {
    c.property("isSuccess", "Tc,R,N", &VnCommonBoolReturnValue::isSuccess)
        .property("message", "T@\"NSString\",R,C,N", &VnCommonBoolReturnValue::message)
        .property("messageTH", "T@\"NSString\",R,C,N", &VnCommonBoolReturnValue::messageTH)
        .property("resultCode", "Ti,R,N", &VnCommonBoolReturnValue::resultCode);
})
PLAT_DEFINE_CLASS(VnPurchaseProductReturnValue, VnCommonBoolReturnValue, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnRestoreInAppPurchaseReturnValue, VnCommonBoolReturnValue, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnUserRegistrationReturnValue, VnCommonBoolReturnValue, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnMobileDataNumberDetectionReturnValue, VnRemoteReturnValue, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnUserAuthenticationReturnValue, VnRemoteReturnValue, [](auto& c) {
    c.property("authenticated", "Tc,R,N", &VnUserAuthenticationReturnValue::authenticated)
        .property("isTestAccount", "Tc,R,N", &VnUserAuthenticationReturnValue::isTestAccount);
})
PLAT_DEFINE_CLASS(VnRequestOneTimePasswordReturnValue, VnRemoteReturnValue, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnVoidReturnValue, VnRemoteReturnValue, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnTransferUserBooksReturnValue, VnInfoBase, [](auto& c) {
    c.property("isSuccess", "Tc,N,VisSuccess_", &VnTransferUserBooksReturnValue::isSuccess_)
        .property("message", "T@\"NSString\",C,N,Vmessage_",
                  &VnTransferUserBooksReturnValue::message_)
        .property("bookCodes", "T@\"NSArray\",&,N,VbookCodes_",
                  &VnTransferUserBooksReturnValue::bookCodes_);
})
PLAT_DEFINE_CLASS(VnReceiptInfo, VnInfoBase, [](auto& c) {
    c.property("transactionId", "T@\"NSString\",C,N", &VnReceiptInfo::transactionId_)
        .property("inAppProductId", "T@\"NSString\",C,N", &VnReceiptInfo::inAppProductId_);
})
PLAT_DEFINE_CLASS(VnReceiptInfoEx, VnReceiptInfo, [](auto& c) {
    c.property("productDescription", "T@\"NSString\",C,N", &VnReceiptInfoEx::productDescription_)
        .property("receipt", "T@\"NSData\",&,N", &VnReceiptInfoEx::receipt_)
        .property("resultCode", "Ti,N", &VnReceiptInfoEx::resultCode_)
        .property("resultMessage", "T@\"NSString\",C,N", &VnReceiptInfoEx::resultMessage_);
})
PLAT_DEFINE_CLASS(VnPurchaseProductInfo, VnInfoBase, [](auto& c) {
    c.property("productCode", "T@\"NSString\",C,N", &VnPurchaseProductInfo::productCode_)
        .property("productName", "T@\"NSString\",C,N", &VnPurchaseProductInfo::productName_)
        .property("type", "Ti,N", &VnPurchaseProductInfo::type_)
        .property("price", "Td,N", &VnPurchaseProductInfo::price_)
        .property("priceText", "T@\"NSString\",C,N", &VnPurchaseProductInfo::priceText_)
        .property("currency", "Ti,N", &VnPurchaseProductInfo::currency_);
})
PLAT_DEFINE_CLASS(VnAuthenticationMethodInfo, VnInfoBase, [](auto& c) {
    c.property("isExternalUser", "Tc,N", &VnAuthenticationMethodInfo::isExternalUser_)
        .property("method", "Ti,N", &VnAuthenticationMethodInfo::method_)
        .property("salt", "T@\"NSString\",C,N", &VnAuthenticationMethodInfo::salt_);
})

std::string VnRemoteReturnValue::description() const {
    return descriptionByProperties(*this);
}

VnCommonBoolReturnValue::VnCommonBoolReturnValue(std::string message, int32_t resultCode)
    : isSuccess_(true),
      message_(message),
      messageTH_(std::move(message)),
      resultCode_(resultCode) {}

Ref<VnCommonBoolReturnValue> VnCommonBoolReturnValue::successWithMessage(std::string message,
                                                                         int32_t resultCode) {
    return std::make_shared<VnCommonBoolReturnValue>(std::move(message), resultCode);
}

void VnCommonBoolReturnValue::loadFromDictionary(const plat::Dictionary& d) {
    isSuccess_ = boolForKey(d, "IsSuccess", false);
    message_ = stringForKey(d, "Message");
    messageTH_ = stringForKey(d, "MessageTH");
    resultCode_ = intForKey(d, "ResultCode", 0);
}

void VnRestoreInAppPurchaseReturnValue::loadFromDictionary(const plat::Dictionary& d) {
    VnCommonBoolReturnValue::loadFromDictionary(d);
    auto list = d.objectForKey("ProductCodes").array();
    restoredProducts_ =
        list ? VnInfoBase::arrayFromDictionaryArray(VnPurchaseProductInfo::classObject(), *list)
             : nullptr;
}

void VnMobileDataNumberDetectionReturnValue::loadFromDictionary(const plat::Dictionary& d) {
    MSISDN = stringForKey(d, "MSISDN");
    mobileOperator = stringForKey(d, "MobileOperator");
}

void VnUserAuthenticationReturnValue::loadFromDictionary(const plat::Dictionary& d) {
    serverMessage_ = d.objectForKey("Message");
    authenticated_ = boolForKey(d, "IsSuccess", false);
    isTestAccount_ = boolForKey(d, "IsTestAccount", false);
}
