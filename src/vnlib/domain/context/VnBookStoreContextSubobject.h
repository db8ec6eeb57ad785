#pragma once
// VnBookStoreContextSubobject: the base of everything that belongs to one bookstore context (user
// contexts, domains). The context owns its user contexts, and they their domains, so the way back
// is not owning: a subobject that outlives its context finds none.
#include "vnlib/dev/util/VndObject.h"

class VnBookStoreContext;

class VnBookStoreContextSubobject : public VndObject {
    PLAT_CLASS(VnBookStoreContextSubobject)
  public:
    VnBookStoreContextSubobject() = default;
    explicit VnBookStoreContextSubobject(const Ref<VnBookStoreContext>& context)
        : context_(context) {}

    Ref<VnBookStoreContext> context() const { return context_.lock(); }

  private:
    WeakRef<VnBookStoreContext> context_;
};
