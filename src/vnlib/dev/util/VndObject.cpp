#include "vnlib/dev/util/VndObject.h"

PLAT_DEFINE_CLASS(VndObject, plat::Object, [](auto& c) {
    c.method("purgeMemoryCache", &VndObject::purgeMemoryCache)
        .method("memoryWarning:", &VndObject::memoryWarning);
})
PLAT_DEFINE_CLASS(VndDataProxy, VndObject, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VndCachableDataProxy, VndDataProxy, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VndCFDataProxy, VndDataProxy, PLAT_NO_METHODS)

std::optional<plat::Bytes> VndDataProxy::data() {
    plat::assertionFailed("nil", __FILE__, __LINE__);  // abstract: subclasses answer the bytes
    return std::nullopt;
}

std::optional<plat::Bytes> VndDataProxy::dataWithScale(int32_t scale) {
    if (scale != 1)
        return std::nullopt;
    return data();
}

std::optional<plat::Bytes> VndCachableDataProxy::data() {
    std::lock_guard guard(lock_);
    if (!data_ && actualDataProxy_)
        data_ = actualDataProxy_->data();
    return data_;
}

void VndCachableDataProxy::purgeMemoryCache() {
    VndDataProxy::purgeMemoryCache();
    std::lock_guard guard(lock_);
    data_.reset();
}

std::string VndCachableDataProxy::description() const {
    return actualDataProxy_ ? actualDataProxy_->description() : "(null)";
}
