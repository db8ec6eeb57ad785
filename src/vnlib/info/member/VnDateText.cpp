#include "vnlib/info/member/VnDateText.h"

std::optional<plat::Date> VnDateText::dateFromValue(const plat::DateFormatter& formatter,
                                                    const plat::Value& value) {
    if (!value.isString())
        return std::nullopt;
    return formatter.dateFromString(value.stringView());  // read where the value holds it
}

plat::Value VnDateText::valueFromDate(const plat::DateFormatter& formatter,
                                      const std::optional<plat::Date>& date) {
    if (!date)
        return plat::Value();
    return plat::Value(formatter.stringFromDate(*date));
}

std::optional<std::string> VnDateText::localText(const std::optional<plat::Date>& date,
                                                 const std::string& pattern) {
    if (!date)
        return std::nullopt;
    const plat::DateFormatter formatter(pattern, plat::TimeZone::local());
    return formatter.stringFromDate(*date);
}
