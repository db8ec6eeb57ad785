#pragma once
// VnDateText: dates that records keep in a text form of their own instead of the server's
// "dd/MM/yyyy HH:mm:ss" (for example "yyyy/MM/dd"): reading a loaded value through a formatter,
// writing a date back as text, and the display text of a date in the machine's time zone.
#include <optional>
#include <string>

#include "platform/core/DateFormatter.h"

struct VnDateText {
    // The date of a loaded value; nothing for nil, null, a value that is not text, or text that
    // does not match the formatter's whole pattern.
    static std::optional<plat::Date> dateFromValue(const plat::DateFormatter& formatter,
                                                   const plat::Value& value);
    // The text of a date; nothing without a date, so that a dictionary view falls back to the
    // loaded dictionary.
    static plat::Value valueFromDate(const plat::DateFormatter& formatter,
                                     const std::optional<plat::Date>& date);
    // A date as text in the pattern, read in the machine's time zone (Gregorian calendar, Latin
    // digits); nothing without a date. A new formatter per call.
    static std::optional<std::string> localText(const std::optional<plat::Date>& date,
                                                const std::string& pattern);
};
