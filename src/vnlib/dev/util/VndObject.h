#pragma once
// VndObject: the root of records, contexts and data providers, with a memory-purge hook.
// VndDataProxy: a provider of bytes on demand; VndCachableDataProxy keeps a provider's non-empty
// answer until purged; VndCFDataProxy answers fixed bytes.
#include <mutex>
#include <optional>

#include "platform/core/Value.h"

class VndObject : public plat::Object {
    PLAT_CLASS(VndObject)
  public:
    // Drops cached data; subclasses call the base first.
    virtual void purgeMemoryCache() {}
    // The hook for a memory-pressure notice: purges the receiver.
    void memoryWarning(const Ref<plat::Object>&) { purgeMemoryCache(); }
};

class VndDataProxy : public VndObject {
    PLAT_CLASS(VndDataProxy)
  public:
    // The bytes; nothing when there are none. The base operation is abstract (assertion).
    virtual std::optional<plat::Bytes> data();
    // data() for scale 1; nothing, without asking, for any other scale.
    virtual std::optional<plat::Bytes> dataWithScale(int32_t scale);
};

class VndCachableDataProxy : public VndDataProxy {
    PLAT_CLASS(VndCachableDataProxy)
  public:
    explicit VndCachableDataProxy(Ref<VndDataProxy> dataProxy)
        : actualDataProxy_(std::move(dataProxy)) {}
    const Ref<VndDataProxy>& actualDataProxy() const { return actualDataProxy_; }
    // The cached bytes, fetched from the wrapped provider when none are cached; an empty answer
    // is not remembered. Safe to call from several threads.
    std::optional<plat::Bytes> data() override;
    void purgeMemoryCache() override;
    std::string description() const override;

  private:
    Ref<VndDataProxy> actualDataProxy_;
    std::mutex lock_;
    std::optional<plat::Bytes> data_;
};

class VndCFDataProxy : public VndDataProxy {
    PLAT_CLASS(VndCFDataProxy)
  public:
    std::optional<plat::Bytes> data() override { return data_; }

  private:
    std::optional<plat::Bytes> data_;
};
