#include "external/ASIHTTPRequestErrors.h"

#include "platform/core/Collections.h"

Ref<plat::Error> ASIMakeError(int64_t code, const std::string& message,
                              Ref<plat::Error> underlying) {
    auto info = plat::MutableDictionary::make();
    info->setObject(plat::Value(message), "NSLocalizedDescription");
    if (underlying)
        info->setObject(plat::Value::fromObject(underlying), "NSUnderlyingError");
    return plat::Error::make(NetworkRequestErrorDomain, code, info);
}
