#pragma once
// VnStorageBackedObject: an object whose changes reach the disk later, in one write: changes mark
// it (needFlushing) and flushStorageWriting writes when marked. A write that fails leaves the
// mark, so the next flush tries again.
#include "vnlib/dev/util/VndObject.h"

class VnStorageBackedObject : public VndObject {
    PLAT_CLASS(VnStorageBackedObject)
  public:
    bool needFlushing() const { return needFlushing_; }

    // Writes everything now; true when it reached the disk. The base has nothing to write.
    virtual bool _writeToStorage() { return true; }
    void unmarkPendingCacheFlush() { needFlushing_ = false; }
    void markPendingCacheFlush() { needFlushing_ = true; }
    // When marked: writes, and clears the mark once the write succeeded.
    virtual void flushStorageWriting();
    // Notification handler: flushes.
    void applicationWillResignActive(const Ref<plat::Object>& notification);

  private:
    bool needFlushing_ = false;
};
