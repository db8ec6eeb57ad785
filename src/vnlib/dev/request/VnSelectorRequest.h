#pragma once
// VnSelectorRequest: starting it sends the start selector to its target with the request's
// delegate as the argument. VnRangedRequest only holds an item range.
#include <cstdint>

#include "vnlib/dev/request/VnRequestContext.h"

class VnSelectorRequest : public VnRequestContext {
    PLAT_CLASS(VnSelectorRequest)
  public:
    // The target is not owned.
    VnSelectorRequest(plat::Selector requestStartSelector, const Ref<plat::Object>& requestTarget)
        : requestTarget_(requestTarget), requestStartSelector_(requestStartSelector) {}

  protected:
    void coreStart() override { plat::send(requestTarget_, requestStartSelector_, delegate()); }

  private:
    WeakRef<plat::Object> requestTarget_;
    plat::Selector requestStartSelector_;
};

struct VnItemRange {
    uint64_t location = 0;
    uint64_t length = 0;
};

class VnRangedRequest : public VnRequestContext {
    PLAT_CLASS(VnRangedRequest)
  public:
    VnItemRange itemRange() const { return itemRange_; }
    void setItemRange(VnItemRange range) { itemRange_ = range; }

  private:
    VnItemRange itemRange_;
};
