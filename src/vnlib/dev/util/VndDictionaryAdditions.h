#pragma once
// Typed dictionary getters with defaults (a default is used only when the key is absent, never
// for a present value), integer keys, and date comparisons.
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

void setObjectForIntKey(plat::MutableDictionary& dictionary, plat::Value value, int32_t key);
void removeObjectForIntKey(plat::MutableDictionary& dictionary, int32_t key);

inline bool isEarlierThan(const plat::Date& date, const plat::Date& other) {
    return date.seconds < other.seconds;
}
inline bool isLaterThan(const plat::Date& date, const plat::Date& other) {
    return date.seconds > other.seconds;
}
