#pragma once
// Query-style operations on arrays (map, sort, take, filter, index) and dictionaries built from
// arrays. A selector names a message without arguments that each element answers (an object, an
// integer or a BOOL, as the operation says); elements that are plain values answer the key of
// that name. Every result is a new array or dictionary; the receiver is unchanged.
#include <cstdint>
#include <string>

#include "platform/core/Collections.h"

// A mutable array of a collection's elements in order.
Ref<plat::MutableArray> arrayWithEnumeration(const plat::Array& collection);
// The "%@" text of every element joined by the separator (the selector does not take part).
std::string joinWithSeparator(const plat::Array& array, const std::string& separator,
                              plat::Selector valueSelector = {});

// Each element's answer, in order; an element answering nothing is refused
// (NSInvalidArgumentException), as nothing cannot be placed in an array.
Ref<plat::Array> linq_selectWithSelector(const plat::Array& array, plat::Selector sel);
Ref<plat::Array> linq_selectWithKeyPath(const plat::Array& array, const std::string& keyPath);
Ref<plat::Array> linq_orderBy(const plat::Array& array, plat::Selector sel);
Ref<plat::Array> linq_orderByDescending(const plat::Array& array, plat::Selector sel);
// compareSelector is "compare:" or "localizedCompare:".
Ref<plat::Array> linq_orderBy(const plat::Array& array, plat::Selector sel,
                              plat::Selector compareSelector);
Ref<plat::Array> linq_orderByStringLocalized(const plat::Array& array, plat::Selector sel);
Ref<plat::Array> linq_orderByInt(const plat::Array& array, plat::Selector sel);
Ref<plat::Array> linq_orderByIntDescending(const plat::Array& array, plat::Selector sel);
// Ascending by integer value, with the elements whose value is 0 after all the others.
Ref<plat::Array> linq_orderByIntNoZero(const plat::Array& array, plat::Selector sel);
Ref<plat::Array> linq_take(const plat::Array& array, uint64_t count);
plat::Value linq_firstOrNil(const plat::Array& array);
Ref<plat::Array> linq_where(const plat::Array& array, plat::Selector sel, const plat::Value& equal);
Ref<plat::Array> linq_whereNotEqual(const plat::Array& array, plat::Selector sel,
                                    const plat::Value& notEqual);
Ref<plat::Array> linq_where(const plat::Array& array, plat::Selector sel);
Ref<plat::Array> linq_whereNot(const plat::Array& array, plat::Selector sel);
Ref<plat::MutableDictionary> linq_toDictionaryWithKeySelector(const plat::Array& array,
                                                              plat::Selector sel);
Ref<plat::MutableDictionary> linq_toDictionaryWithIntKeySelector(const plat::Array& array,
                                                                 plat::Selector sel);
Ref<plat::MutableDictionary> linq_toLookupDictionaryWithKeySelector(const plat::Array& array,
                                                                    plat::Selector sel);

// Comparators over the elements' integer values: -1, 0 or 1.
int compareInt(const plat::Value& a, const plat::Value& b, plat::Selector sel);
int compareIntDesc(const plat::Value& a, const plat::Value& b, plat::Selector sel);
int compareIntNoZero(const plat::Value& a, const plat::Value& b, plat::Selector sel);

// key -> element, the key being the element's object answer (nothing becomes null); a repeated
// key logs "Id must be unique" (group "Warning") and the later element wins.
Ref<plat::MutableDictionary> dictionaryWithArray(const plat::Array& array,
                                                 plat::Selector itemIdSelector);
Ref<plat::MutableDictionary> dictionaryWithArrayIntId(const plat::Array& array,
                                                      plat::Selector itemIntIdSelector);
// key -> mutable array of every element with that key, in array order.
Ref<plat::MutableDictionary> lookupDictionaryWithArray(const plat::Array& array,
                                                       plat::Selector sel);
