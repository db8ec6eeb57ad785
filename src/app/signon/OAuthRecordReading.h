#pragma once
// How the sign-on records read the values of a decoded JSON object: texts (a number gives its
// decimal text; null, booleans and containers are absent), numbers as a 32-bit integer or a
// double (numeric texts too), and dates of a fixed pattern read as GMT.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Collections.h"
#include "platform/core/DateFormatter.h"

namespace oauth_records {

std::optional<std::string> text(const plat::Dictionary* dictionary, std::string_view key);
// The value's integer (a numeric text read as the platform reads one); 0 when there is none.
int32_t int32(const plat::Dictionary* dictionary, std::string_view key);
// The value's floating-point number; none when absent or not numeric, or not finite.
std::optional<double> number(const plat::Dictionary* dictionary, std::string_view key);
// The text under the key read with the formatter; none when it is not a text or does not match.
std::optional<plat::Date> date(const plat::Dictionary* dictionary, std::string_view key,
                               const plat::DateFormatter& formatter);

}  // namespace oauth_records
