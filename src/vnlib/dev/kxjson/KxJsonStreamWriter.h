#pragma once
// KxJsonStreamWriter: writes one JSON document as UTF-8 bytes, value by value, to its delegate.
// Dictionaries, arrays, strings, numbers (the shared booleans as true and false, other numbers
// by their storage type, decimals as their own text), null, and objects that answer
// "proxyForJson" (written as their answer) can be written. Output is compact unless
// humanReadable(); keys keep the dictionary's order unless sortKeys(). Containers nest at most
// maxDepth() deep (32; 0 for no limit). Every write answers whether it succeeded; a failure
// leaves its reason in error(). Strings are encoded once per writer and then reused.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/Message.h"
#include "vnlib/dev/kxjson/KxJsonStreamWriterState.h"

// The message an object answers to be written as its answer.
struct KxJsonProxyMessages {
    static constexpr plat::Message<plat::Value()> kProxyForJson{"proxyForJson"};
};

class KxJsonStreamWriterDelegate {
  public:
    virtual ~KxJsonStreamWriterDelegate() = default;
    virtual void writerAppendBytes(KxJsonStreamWriter& writer, const uint8_t* bytes,
                                   size_t length) = 0;
};

// Orders two keys: negative, zero or positive, as the first is less than, equal to or greater
// than the second.
using KxJsonKeyComparator = std::function<int(const plat::Value& a, const plat::Value& b)>;

class KxJsonStreamWriter : public plat::Object {
    PLAT_CLASS(KxJsonStreamWriter)
  public:
    KxJsonStreamWriter();

    // Not owned: bytes for a delegate that is gone are dropped.
    const WeakRef<KxJsonStreamWriterDelegate>& delegate() const { return delegate_; }
    void setDelegate(WeakRef<KxJsonStreamWriterDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    size_t maxDepth() const { return maxDepth_; }
    void setMaxDepth(size_t maxDepth) { maxDepth_ = maxDepth; }
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
    // The order of sorted keys; none for the texts' own order. Sorting with it is stable.
    const KxJsonKeyComparator& sortKeysComparator() const { return sortKeysComparator_; }
    void setSortKeysComparator(KxJsonKeyComparator comparator) {
        sortKeysComparator_ = std::move(comparator);
    }
    const std::optional<std::string>& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    bool writeObject(const plat::Dictionary& dictionary);
    bool writeArray(const plat::Array& array);
    bool writeObjectOpen();
    bool writeObjectClose();
    bool writeArrayOpen();
    bool writeArrayClose();
    bool writeNull();
    bool writeBool(bool value);
    bool writeString(std::string_view string);
    // A number, a decimal or one of the shared booleans.
    bool writeNumber(const plat::Value& number);
    // Any value, by its kind.
    bool writeValue(const plat::Value& value);

    // The answer of the value's "proxyForJson" when it is an object that answers it.
    static std::optional<plat::Value> proxyForJsonOf(const plat::Value& value);
    // How many "proxyForJson" answers in a row are followed before a value counts as having no
    // JSON form (so that proxies answering each other cannot loop).
    static constexpr int kMaxProxyChain = 32;

    // Used by the states.
    const KxJsonStreamWriterState* state() const { return state_; }
    void setState(const KxJsonStreamWriterState* state) { state_ = state; }
    const std::vector<const KxJsonStreamWriterState*>& stateStack() const { return stateStack_; }
    void appendBytes(const void* bytes, size_t length);
    void appendBytes(std::string_view text) { appendBytes(text.data(), text.size()); }

  private:
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };

    bool fail(std::string error);
    // The checks, separator and whitespace before a scalar; false when it cannot be written.
    bool beginScalar(bool mayBeKey);
    bool openContainer(const KxJsonStreamWriterState& opened, char bracket);

    WeakRef<KxJsonStreamWriterDelegate> delegate_;
    const KxJsonStreamWriterState* state_;
    std::vector<const KxJsonStreamWriterState*> stateStack_;
    size_t maxDepth_ = 32;
    bool humanReadable_ = false;
    bool sortKeys_ = false;
    KxJsonKeyComparator sortKeysComparator_;
    std::optional<std::string> error_;
    // Finished quoted and escaped bytes of every string written.
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> cache_;
};
