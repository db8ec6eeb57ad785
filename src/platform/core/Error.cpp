#include "platform/core/Error.h"

#include "platform/core/Log.h"

namespace plat {

Error::Error(std::string domain, int64_t code, Ref<Dictionary> userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

PLAT_DEFINE_CLASS(Error, Object, PLAT_NO_METHODS)

Ref<Error> Error::withDescription(std::string domain, int64_t code, std::string description) {
    return make(
        std::move(domain), code,
        makeDictionary({{Value(NSLocalizedDescriptionKey), Value(std::move(description))}}));
}

std::string Error::localizedDescription() const {
    if (userInfo_) {
        if (const std::string* s = userInfo_->objectForKey(NSLocalizedDescriptionKey).string()) {
            return *s;
        }
    }
    return format("The operation couldn't be completed. (%s error %lld.)", domain_.c_str(),
                  static_cast<long long>(code_));
}

std::string Error::description() const {
    return format("Error Domain=%s Code=%lld \"%s\"", domain_.c_str(),
                  static_cast<long long>(code_), localizedDescription().c_str());
}

}  // namespace plat
