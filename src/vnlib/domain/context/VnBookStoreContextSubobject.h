#pragma once
// VnBookStoreContextSubobject: the base of everything that belongs to one bookstore context (user
// contexts, domains). It keeps its context alive.
#include "vnlib/dev/util/VndObject.h"

class VnBookStoreContext;

class VnBookStoreContextSubobject : public VndObject {
    PLAT_CLASS(VnBookStoreContextSubobject)
  public:
    VnBookStoreContextSubobject() = default;
    explicit VnBookStoreContextSubobject(Ref<VnBookStoreContext> context)
        : context_(std::move(context)) {}

    const Ref<VnBookStoreContext>& context() const { return context_; }

  private:
    Ref<VnBookStoreContext> context_;
};
