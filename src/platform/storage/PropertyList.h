#pragma once
// Property lists: reading the XML, binary ("bplist00") and old-style text formats into
// plat::Value, and writing values as XML.
//
// Readers produce immutable dictionaries and arrays, strings, data, dates, integers (signed
// 64-bit, or unsigned 64-bit above that range), reals and the shared booleans. Input is treated
// as hostile: every offset and length is bounds-checked, nesting is limited to kMaxDepth, and any
// fault gives a clear error in NSCocoaErrorDomain (3840) instead of a value.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/core/Error.h"
#include "platform/core/Value.h"

namespace plat {

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr int64_t NSPropertyListReadCorruptError = 3840;
inline constexpr int64_t NSPropertyListWriteInvalidError = 3851;

// The format codes of the platform.
enum class PropertyListFormat : uint64_t {
    OpenStep = 1,
    XML = 100,
    Binary = 200,
};

class PropertyList {
  public:
    // Deepest nesting of dictionaries and arrays accepted by the readers and the writer.
    static constexpr int kMaxDepth = 256;

    // Parses data in any of the three formats (detected from the content; UTF-16 text with a
    // byte-order mark is accepted). Answers nil and sets *error on failure; on success sets
    // *format to the format found.
    static Value propertyListWithData(std::span<const uint8_t> data,
                                      PropertyListFormat* format = nullptr,
                                      Ref<Error>* error = nullptr);

    // Writes the value as an XML property list (UTF-8). Only dictionaries with string keys,
    // arrays, strings, data, dates, numbers and booleans can be written; anything else (nil,
    // null, objects, over-deep or self-containing values) gives nothing and *error. Only the XML
    // format can be written.
    static std::optional<Bytes> dataWithPropertyList(
        const Value& value, PropertyListFormat format = PropertyListFormat::XML,
        Ref<Error>* error = nullptr);

    // Whether the value could be written: the same rules as dataWithPropertyList.
    static bool isValidPropertyList(const Value& value);
};

}  // namespace plat
