#include "vnlib/info/catalogue/VnDayDateFormats.h"

const plat::DateFormatter& vnSlashedDayFormatter() {
    static const plat::DateFormatter formatter("yyyy/MM/dd", plat::TimeZone::utc());
    return formatter;
}

const plat::DateFormatter& vnCompactDayFormatter() {
    static const plat::DateFormatter formatter("ddMMyyyy", plat::TimeZone::utc());
    return formatter;
}

std::optional<plat::Date> vnDateFromCompactDayText(const std::optional<std::string>& text) {
    if (!text)
        return std::nullopt;
    return vnCompactDayFormatter().dateFromString(*text);
}
