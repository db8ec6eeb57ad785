#include "vnlib/service/auth/VnTransferUserBooksRequest.h"

#include "vnlib/service/auth/VnUserAuthenticationInfo.h"
#include "vnlib/service/v2/VnClientServiceSession.h"

PLAT_DEFINE_CLASS(VnTransferUserBooksRequest, VnClientServiceCommonRequest, PLAT_NO_METHODS)

plat::Value VnTransferUserBooksRequest::coreTransformRequestObject(
    const plat::Value& object) const {
    auto dictionary = object.dictionary();
    if (!dictionary)
        return object;
    auto params = dictionary->mutableCopy();
    auto source = params->objectForKey("sourceAuthentication").as<VnUserAuthenticationInfo>();
    auto owner = session();
    const std::string sessionId = owner && owner->sessionId() ? *owner->sessionId() : "";
    params->setObject(source ? plat::Value(source->username()) : plat::Value::null(),
                      plat::Value("sourceUser"));
    params->setObject(
        source ? plat::Value(source->tokenHashedPassword(sessionId)) : plat::Value::null(),
        plat::Value("sourcePasswordHash"));
    params->removeObjectForKey(plat::Value("sourceAuthentication"));
    return plat::Value(params);
}
