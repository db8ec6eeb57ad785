#pragma once
// Typed dictionary getters with defaults (a default is used only when the key is absent, never
// for a present value), integer keys, date comparisons, and copies that share nothing with the
// reply they were read from.
#include <optional>
#include <string>

#include "platform/core/Collections.h"

plat::Value objectForIntKey(const plat::Dictionary& dictionary, int32_t key);
int32_t intForKey(const plat::Dictionary& dictionary, std::string_view key, int32_t defaultValue);
float floatForKey(const plat::Dictionary& dictionary, std::string_view key, float defaultValue);
bool boolForKey(const plat::Dictionary& dictionary, std::string_view key, bool defaultValue);
// The value's "%@" text (a number becomes its decimal text), or nothing when absent.
std::optional<std::string> stringForKey(const plat::Dictionary& dictionary, std::string_view key);
std::string stringForKey(const plat::Dictionary& dictionary, std::string_view key,
                         const std::string& defaultValue);

// A deep copy that shares no storage with the value it was read from: strings, arrays and
// dictionaries are copied, in order (a value taken out of a decoded reply keeps the whole reply
// alive); other values are answered as they are.
plat::Value detachedCopy(const plat::Value& value);

void setObjectForIntKey(plat::MutableDictionary& dictionary, plat::Value value, int32_t key);
void removeObjectForIntKey(plat::MutableDictionary& dictionary, int32_t key);

inline bool isEarlierThan(const plat::Date& date, const plat::Date& other) {
    return date.seconds < other.seconds;
}
inline bool isLaterThan(const plat::Date& date, const plat::Date& other) {
    return date.seconds > other.seconds;
}
