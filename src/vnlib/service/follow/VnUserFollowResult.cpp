#include "vnlib/service/follow/VnUserFollowResult.h"

#include "platform/core/Property.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(VnUserFollowResult, VnRemoteReturnValue, [](auto& c) {
    c.property("message", "T@\"NSString\",C,N,Vmessage_", &VnUserFollowResult::message,
               &VnUserFollowResult::setMessage)
        .property("resultCode", "Ti,R,N,VresultCode_", &VnUserFollowResult::resultCode)
        .property("isFollow", "Tc,R,N,VisFollow_", &VnUserFollowResult::isFollow);
})

Ref<VnUserFollowResult> VnUserFollowResult::successWithMessage(std::optional<std::string> message,
                                                               int32_t resultCode, bool isFollow) {
    return std::make_shared<VnUserFollowResult>(std::move(message), resultCode, isFollow);
}

void VnUserFollowResult::loadFromDictionary(const plat::Dictionary& dictionary) {
    VnRemoteReturnValue::loadFromDictionary(dictionary);
    // A null message is no message, not the text "<null>".
    message_ = dictionary.objectForKey("Message").isNull() ? std::nullopt
                                                           : stringForKey(dictionary, "Message");
    resultCode_ = intForKey(dictionary, "ResultCode", 0);
    isFollow_ = boolForKey(dictionary, "IsFollow", false);
}
