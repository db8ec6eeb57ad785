#include "vnlib/domain/storage/VnStorageBackedObject.h"

PLAT_DEFINE_CLASS(VnStorageBackedObject, VndObject, [](auto& c) {
    c.method("applicationWillResignActive:", &VnStorageBackedObject::applicationWillResignActive);
})

void VnStorageBackedObject::flushStorageWriting() {
    if (needFlushing_ && _writeToStorage())
        unmarkPendingCacheFlush();
}

void VnStorageBackedObject::applicationWillResignActive(const Ref<plat::Object>&) {
    flushStorageWriting();
}
