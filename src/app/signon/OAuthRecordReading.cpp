#include "app/signon/OAuthRecordReading.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace oauth_records {
namespace {

plat::Value valueOf(const plat::Dictionary* dictionary, std::string_view key) {
    return dictionary ? dictionary->objectForKey(key) : plat::Value();
}

std::optional<double> numberOfText(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> text(const plat::Dictionary* dictionary, std::string_view key) {
    const plat::Value value = valueOf(dictionary, key);
    if (const std::string* s = value.string())
        return *s;
    if (const plat::Number* n = value.number())
        return n->stringValue();
    if (const plat::Decimal* d = value.decimal())
        return d->stringValue();
    return std::nullopt;
}

std::optional<double> number(const plat::Dictionary* dictionary, std::string_view key) {
    const plat::Value value = valueOf(dictionary, key);
    std::optional<double> result;
    if (const plat::Number* n = value.number())
        result = n->doubleValue();
    else if (const plat::Decimal* d = value.decimal())
        result = d->doubleValue();
    else if (const std::string* s = value.string())
        result = numberOfText(*s);
    if (result && !std::isfinite(*result))
        return std::nullopt;
    return result;
}

int32_t int32(const plat::Dictionary* dictionary, std::string_view key) {
    const plat::Value value = valueOf(dictionary, key);
    if (const plat::Number* n = value.number(); n && !n->isFloatingPoint()) {
        const int64_t whole = n->int64Value();
        return static_cast<int32_t>(std::clamp<int64_t>(whole, INT32_MIN, INT32_MAX));
    }
    const auto read = number(dictionary, key);
    if (!read)
        return 0;
    return static_cast<int32_t>(
        std::clamp(std::trunc(*read), double{INT32_MIN}, double{INT32_MAX}));
}

std::optional<plat::Date> date(const plat::Dictionary* dictionary, std::string_view key,
                               const plat::DateFormatter& formatter) {
    const plat::Value value = valueOf(dictionary, key);
    const std::string* s = value.string();
    if (!s)
        return std::nullopt;
    return formatter.dateFromString(*s);
}

}  // namespace oauth_records
