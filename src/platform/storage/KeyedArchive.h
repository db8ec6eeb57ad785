#pragma once
// Keyed archives of property-list values (dictionaries, arrays, strings, numbers, booleans,
// data and dates): a self-describing envelope around an XML property list. Unarchiving anything
// that is not such an archive answers nil, never an exception.
#include <optional>
#include <span>

#include "platform/core/Value.h"

namespace plat {

class KeyedArchiver {
  public:
    // The archive of the value; nothing when the value is nil or not a property list.
    static std::optional<Bytes> archivedDataWithRootObject(const Value& root);
};

class KeyedUnarchiver {
  public:
    // The archived value; nil for data that is not a well-formed archive.
    static Value unarchiveObjectWithData(std::span<const uint8_t> data);
};

}  // namespace plat
