#pragma once
// KxJsonWriter: writes a dictionary or an array (or an object whose "proxyForJson" answers one)
// as UTF-8 JSON text. Values inside may be dictionaries (string keys only, written in the
// dictionary's own order), arrays, strings, numbers, decimals, the shared booleans (true and
// false; any other number, a BOOL-typed one included, is written as a number), null, and objects
// that answer "proxyForJson". Integers are written as integers, floating values with "%.17g",
// decimals as their own text; not-a-number and infinities are refused. Output is compact unless
// humanReadable(); containers nest at most maxDepth() deep (32). The writer never throws: a
// failure answers nothing and leaves its reason in error().
//
//   auto writer = std::make_shared<KxJsonWriter>();
//   std::optional<std::string> text = writer->stringWithObject(plat::Value(dictionary));
//   if (!text) plat::log(*writer->error());
//
// JSONRepresentation(value) does the same with a new writer and logs the failure.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/core/Error.h"
#include "platform/core/Value.h"
#include "vnlib/dev/kxjson/KxJsonStreamWriter.h"

inline constexpr const char* KxJsonWriterErrorDomain = "KxJsonWriterErrorDomain";

class KxJsonWriter : public plat::Object {
    PLAT_CLASS(KxJsonWriter)
  public:
    KxJsonWriter() = default;

    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
    const KxJsonKeyComparator& sortKeysComparator() const { return sortKeysComparator_; }
    void setSortKeysComparator(KxJsonKeyComparator comparator) {
        sortKeysComparator_ = std::move(comparator);
    }
    // 0 for no limit.
    size_t maxDepth() const { return maxDepth_; }
    void setMaxDepth(size_t maxDepth) { maxDepth_ = maxDepth; }
    // The reason of the last failure; cleared at the start of every write.
    const std::optional<std::string>& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    std::optional<plat::Bytes> dataWithObject(const plat::Value& value);
    std::optional<std::string> stringWithObject(const plat::Value& value);
    // As stringWithObject; on failure, when `error` is given, it receives an error of domain
    // KxJsonWriterErrorDomain, code 0, with the reason as its localized description.
    std::optional<std::string> stringWithObject(const plat::Value& value, Ref<plat::Error>* error);

  private:
    bool humanReadable_ = false;
    bool sortKeys_ = false;
    KxJsonKeyComparator sortKeysComparator_;
    size_t maxDepth_ = 32;
    std::optional<std::string> error_;
};

// The compact JSON text of a value from a new KxJsonWriter; nothing on failure, after the log
// line "-JSONRepresentation failed. Error is: <reason>". Arrays, dictionaries and objects convert
// to plat::Value, so JSONRepresentation(dictionary) and JSONRepresentation(record) both work.
std::optional<std::string> JSONRepresentation(const plat::Value& value);
