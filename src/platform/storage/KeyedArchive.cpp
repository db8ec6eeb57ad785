#include "platform/storage/KeyedArchive.h"

#include "platform/core/Collections.h"
#include "platform/storage/PropertyList.h"

namespace plat {
namespace {

constexpr const char* kArchiverKey = "$archiver";
constexpr const char* kVersionKey = "$version";
constexpr const char* kTopKey = "$top";
constexpr const char* kRootKey = "root";
constexpr const char* kArchiverName = "VarnelKeyedArchive";
constexpr int64_t kVersion = 1;

}  // namespace

std::optional<Bytes> KeyedArchiver::archivedDataWithRootObject(const Value& root) {
    if (root.isNil())
        return std::nullopt;
    auto top = makeDictionary({{Value(kRootKey), root}});
    auto envelope = makeDictionary({
        {Value(kArchiverKey), Value(kArchiverName)},
        {Value(kVersionKey), Value(kVersion)},
        {Value(kTopKey), Value::fromObject(top)},
    });
    return PropertyList::dataWithPropertyList(Value::fromObject(envelope));
}

Value KeyedUnarchiver::unarchiveObjectWithData(std::span<const uint8_t> data) {
    auto envelope = PropertyList::propertyListWithData(data).dictionary();
    if (!envelope)
        return Value();
    const Value archiver = envelope->objectForKey(kArchiverKey);
    const Value version = envelope->objectForKey(kVersionKey);
    if (!archiver.string() || *archiver.string() != kArchiverName || !version.isNumber() ||
        version.int64Value() != kVersion) {
        return Value();
    }
    auto top = envelope->objectForKey(kTopKey).dictionary();
    return top ? top->objectForKey(kRootKey) : Value();
}

}  // namespace plat
