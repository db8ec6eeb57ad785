#pragma once
// The day-only date texts of the catalogue records, beside the server's own
// "dd/MM/yyyy HH:mm:ss": "yyyy/MM/dd" (issue and sale dates) and "ddMMyyyy" (return, expiry and
// claim dates). Both are read and written with Latin digits and the Gregorian calendar, whatever
// the user's locale, and in GMT: a day of the service is the day that starts at midnight GMT,
// like the service's other day dates, so that reading never depends on the machine's zone.
#include <optional>
#include <string>

#include "platform/core/DateFormatter.h"

// "yyyy/MM/dd", GMT.
const plat::DateFormatter& vnSlashedDayFormatter();
// "ddMMyyyy", GMT.
const plat::DateFormatter& vnCompactDayFormatter();

// The day of a "ddMMyyyy" text; nothing for nothing or a text that is not exactly such a day.
std::optional<plat::Date> vnDateFromCompactDayText(const std::optional<std::string>& text);
