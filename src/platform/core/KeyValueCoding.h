#pragma once
// Key-value coding: reading and writing an object's declared properties by name as plat::Values
// (scalars boxed as numbers of their declared type), key paths through nested objects and
// dictionaries, sorting an array by the values of a key path, and selecting a key path of every
// element of an array.
//
//   plat::setValueForKey(*info, plat::Value(12), "pageCount");
//   plat::Value n = plat::valueForKey(*info, "pageCount");             // the number 12, type 'i'
//   plat::Value s = plat::valueForKeyPath(*info, "latestIssue.issueName");
//   Ref<plat::Array> sorted = plat::sortedArrayByKey(*items, "sortIndex", true);
//
// Properties are looked up in the object's class and then along its superclasses. On a
// dictionary a key reads (and, on a mutable dictionary, writes) the entry under that text; on an
// array it reads the key of every element.
#include <string_view>

#include "platform/core/Collections.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

namespace plat {

inline constexpr const char* NSUnknownKeyException = "NSUnknownKeyException";

// The value of a property. A dictionary answers its entry for the key (nil when absent); an array
// answers an array of each element's value for the key (nil answers become null). A key that no
// property of the class chain declares raises NSUnknownKeyException "[<Class>
// valueForUndefinedKey:]: this class is not key value coding-compliant for the key <key>."
Value valueForKey(const Object& object, std::string_view key);
// The same for a value: nil and null answer nil; arrays, dictionaries and objects as above; text,
// numbers, dates and data have no keys (NSUnknownKeyException).
Value valueForKey(const Value& value, std::string_view key);

// Writes a property, converting the value to the property's type (nil and null set scalars to
// 0). A mutable dictionary stores the value under the key (nil removes it). A key that names no
// writable property raises NSUnknownKeyException "[<Class> setValue:forUndefinedKey:]: this class
// is not key value coding-compliant for the key <key>."; a value that cannot be converted raises
// NSInvalidArgumentException and leaves the property unchanged.
void setValueForKey(Object& object, const Value& value, std::string_view key);

// Follows a dot-separated key path ("issue.magazine.name"). A nil or null step ends the walk with
// nil.
Value valueForKeyPath(const Object& object, std::string_view keyPath);
Value valueForKeyPath(const Value& value, std::string_view keyPath);

// How text is compared: Literal is compare: (UTF-16 code units in order); Localized stands for
// localizedCompare: and compares case-insensitively first (ASCII and Latin-1 letters), then
// literally, so "apple" < "Banana" and "Apple" < "apple".
enum class StringComparison { Literal, Localized };

// Orders two values: -1, 0 or 1. Nil and null come first (and are equal to each other); numbers,
// booleans and decimal numbers compare numerically with each other; text by the comparison given;
// dates by time; data byte-wise. Values of different kinds order by kind in that sequence;
// arrays, dictionaries and other objects come last and compare equal.
int compareValues(const Value& a, const Value& b,
                  StringComparison comparison = StringComparison::Literal);

// A new immutable array of the elements ordered by their values for a key path, ascending or
// descending; elements with equal values keep their order.
Ref<Array> sortedArrayByKey(const Array& array, std::string_view keyPath, bool ascending = true,
                            StringComparison comparison = StringComparison::Literal);

// A new immutable array of each element's value for a key path, in order; nil becomes null.
Ref<Array> selectByKeyPath(const Array& array, std::string_view keyPath);

}  // namespace plat
