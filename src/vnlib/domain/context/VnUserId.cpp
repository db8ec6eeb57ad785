#include "vnlib/domain/context/VnUserId.h"

#include "platform/core/Log.h"

PLAT_DEFINE_CLASS(VnUserId, VndObject, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnDefaultUserId, VnUserId, PLAT_NO_METHODS)

namespace {

std::string lowercased(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

VnUserId::VnUserId(const std::string& userName) : userName_(lowercased(userName)) {}

Ref<VnUserId> VnUserId::userIdWithUserName(const std::string& userName) {
    return std::make_shared<VnUserId>(userName);
}

Ref<VnUserId> VnUserId::defaultUserId() {
    static const Ref<VnUserId> instance = std::make_shared<VnDefaultUserId>();
    return instance;
}

std::string VnUserId::description() const {
    return plat::format("<%s: %s>", className().c_str(), userName_.c_str());
}
