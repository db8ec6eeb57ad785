#include "vnlib/service/v3/VnServiceConnection.h"

PLAT_DEFINE_CLASS(VnServiceConnection, plat::Object, PLAT_NO_METHODS)

Ref<VnJsonWebRequest> VnServiceConnection::requestWithWebMethod(
    const std::string& webMethod, const plat::Value& requestObject) const {
    return requestWithWebMethod(webMethod, requestObject, nullptr);
}

Ref<VnJsonWebRequest> VnServiceConnection::requestWithWebMethod(
    const std::string& webMethod, const plat::Value& requestObject,
    const Ref<plat::Dictionary>& headerObject) const {
    return std::make_shared<VnJsonWebRequest>(serviceURL_, webMethod, requestObject, headerObject);
}
