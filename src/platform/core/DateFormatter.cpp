#include "platform/core/DateFormatter.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace plat {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int64_t y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The index of a three-letter name in the list (any case), or -1.
int nameIndex(std::string_view text, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        if (sameLetters(text.substr(0, 3), names[i]))
            return i;
    }
    return -1;
}

// "+h", "+hh", "+hhmm", "+hh:mm" (and "-"): seconds east of UTC, with the characters used.
std::optional<std::pair<int32_t, size_t>> readOffset(std::string_view text) {
    if (text.empty() || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    size_t pos = 1;
    auto digits = [&](size_t most) {
        size_t n = 0;
        int value = 0;
        while (n < most && pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + (text[pos++] - '0');
            ++n;
        }
        return std::pair{value, n};
    };
    const auto [hours, hourDigits] = digits(2);
    if (hourDigits == 0)
        return std::nullopt;
    int minutes = 0;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        const auto [m, n] = digits(2);
        if (n != 2)
            return std::nullopt;
        minutes = m;
    } else if (hourDigits == 2) {
        const auto [m, n] = digits(2);
        if (n == 1)
            return std::nullopt;
        minutes = n == 2 ? m : 0;
    }
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    const int32_t seconds = (hours * 60 + minutes) * 60;
    return std::pair{text[0] == '-' ? -seconds : seconds, pos};
}

// A zone as the z field reads it: seconds east of UTC, with the characters used.
std::optional<std::pair<int32_t, size_t>> readZone(std::string_view text) {
    static const std::pair<const char*, int> kAbbreviations[] = {
        {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
        {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    for (const char* name : {"GMT", "UTC", "UT"}) {
        const std::string_view n(name);
        if (text.substr(0, n.size()) == n) {
            if (auto offset = readOffset(text.substr(n.size())))
                return std::pair{offset->first, n.size() + offset->second};
            return std::pair{int32_t{0}, n.size()};
        }
    }
    if (text.substr(0, 1) == "Z")
        return std::pair{int32_t{0}, size_t{1}};
    for (const auto& [name, hours] : kAbbreviations) {
        if (text.substr(0, 3) == name)
            return std::pair{static_cast<int32_t>(hours * 3600), size_t{3}};
    }
    if (auto offset = readOffset(text); offset && offset->second == 5)
        return offset;
    return std::nullopt;
}

void appendNumber(std::string& out, int64_t value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0)
        out += '-';
    if (static_cast<int>(digits.size()) < width)
        out.append(width - digits.size(), '0');
    out += digits;
}

}  // namespace

TimeZone TimeZone::local() {
    TimeZone zone(0);
    zone.local_ = true;
    return zone;
}

bool isValidCivilDate(int64_t year, int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

int64_t timeToEpoch(const CivilTime& t, int hourOffset) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + (t.hour - hourOffset) * 3600LL +
           t.minute * 60LL + t.second;
}

CivilTime civilFromEpoch(int64_t seconds) {
    int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    int64_t rem = seconds - days * 86400;
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2);
    t.hour = static_cast<int>(rem / 3600);
    t.minute = static_cast<int>(rem % 3600 / 60);
    t.second = static_cast<int>(rem % 60);
    return t;
}

DateFormatter::DateFormatter(std::string pattern, TimeZone zone)
    : pattern_(std::move(pattern)), zone_(zone) {
    static const std::pair<const char*, Field> fields[] = {
        {"yyyy", Field::Year4}, {"yy", Field::Year2},  {"MMM", Field::MonthName},
        {"MM", Field::Month},   {"dd", Field::Day},    {"HH", Field::Hour},
        {"mm", Field::Minute},  {"ss", Field::Second}, {"EEE", Field::Weekday},
        {"z", Field::Zone}};
    for (size_t i = 0; i < pattern_.size();) {
        bool matched = false;
        for (const auto& [text, field] : fields) {
            const std::string_view t(text);
            if (std::string_view(pattern_).substr(i, t.size()) == t) {
                tokens_.push_back({field, {}});
                i += t.size();
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        if (tokens_.empty() || tokens_.back().field != Field::Literal) {
            tokens_.push_back({Field::Literal, {}});
        }
        tokens_.back().literal += pattern_[i++];
    }
}

int32_t DateFormatter::offsetFor(int64_t utcSeconds) const {
    if (!zone_.isLocal())
        return zone_.fixedOffsetSeconds();
    const time_t t = static_cast<time_t>(utcSeconds);
    struct tm local {};
    if (!localtime_r(&t, &local))
        return 0;
    return static_cast<int32_t>(local.tm_gmtoff);
}

std::optional<int64_t> DateFormatter::toUtc(const CivilTime& local) const {
    const int64_t asUtc = timeToEpoch(local);
    if (!zone_.isLocal())
        return asUtc - zone_.fixedOffsetSeconds();
    // Two passes settle the offset in force at that local time.
    int64_t guess = asUtc - offsetFor(asUtc);
    guess = asUtc - offsetFor(guess);
    return guess;
}

std::string DateFormatter::stringFromDate(const Date& date) const {
    const int64_t utc = static_cast<int64_t>(std::floor(date.seconds));
    const CivilTime t = civilFromEpoch(utc + offsetFor(utc));
    std::string out;
    for (const Token& token : tokens_) {
        switch (token.field) {
            case Field::Literal:
                out += token.literal;
                break;
            case Field::Day:
                appendNumber(out, t.day, 2);
                break;
            case Field::Month:
                appendNumber(out, t.month, 2);
                break;
            case Field::Year4:
                appendNumber(out, t.year, 4);
                break;
            case Field::Year2:
                appendNumber(out, ((t.year % 100) + 100) % 100, 2);
                break;
            case Field::Hour:
                appendNumber(out, t.hour, 2);
                break;
            case Field::Minute:
                appendNumber(out, t.minute, 2);
                break;
            case Field::Second:
                appendNumber(out, t.second, 2);
                break;
            case Field::Weekday: {
                // 1970-01-01 was a Thursday.
                const int64_t local = utc + offsetFor(utc);
                const int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
                out += kWeekdays[(days % 7 + 7 + 4) % 7];
                break;
            }
            case Field::MonthName:
                out += kMonths[t.month - 1];
                break;
            case Field::Zone: {
                const int32_t offset = offsetFor(utc);
                out += "GMT";
                if (offset != 0) {
                    out += offset < 0 ? '-' : '+';
                    appendNumber(out, std::abs(offset) / 3600, 2);
                    out += ':';
                    appendNumber(out, std::abs(offset) / 60 % 60, 2);
                }
                break;
            }
        }
    }
    return out;
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const {
    CivilTime t;
    bool twoDigitYear = false;
    std::optional<int32_t> zoneOffset;
    size_t pos = 0;
    auto readDigits = [&](size_t count, int64_t& out) {
        if (pos + count > text.size())
            return false;
        int64_t v = 0;
        for (size_t i = 0; i < count; ++i) {
            const char c = text[pos + i];
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + (c - '0');
        }
        pos += count;
        out = v;
        return true;
    };
    for (const Token& token : tokens_) {
        int64_t v = 0;
        switch (token.field) {
            case Field::Literal:
                if (text.substr(pos, token.literal.size()) != token.literal)
                    return std::nullopt;
                pos += token.literal.size();
                continue;
            case Field::Year4:
                if (!readDigits(4, v))
                    return std::nullopt;
                t.year = v;
                continue;
            case Field::Year2:
                if (!readDigits(2, v))
                    return std::nullopt;
                t.year = v;
                twoDigitYear = true;
                continue;
            case Field::Weekday:
                if (nameIndex(text.substr(pos), kWeekdays, 7) < 0)
                    return std::nullopt;
                pos += 3;
                continue;
            case Field::MonthName: {
                const int month = nameIndex(text.substr(pos), kMonths, 12);
                if (month < 0)
                    return std::nullopt;
                t.month = month + 1;
                pos += 3;
                continue;
            }
            case Field::Zone: {
                const auto zone = readZone(text.substr(pos));
                if (!zone)
                    return std::nullopt;
                zoneOffset = zone->first;
                pos += zone->second;
                continue;
            }
            default:
                break;
        }
        if (!readDigits(2, v))
            return std::nullopt;
        switch (token.field) {
            case Field::Day:
                t.day = static_cast<int>(v);
                break;
            case Field::Month:
                t.month = static_cast<int>(v);
                break;
            case Field::Hour:
                t.hour = static_cast<int>(v);
                break;
            case Field::Minute:
                t.minute = static_cast<int>(v);
                break;
            case Field::Second:
                t.second = static_cast<int>(v);
                break;
            default:
                break;
        }
    }
    if (pos != text.size())
        return std::nullopt;
    if (twoDigitYear) {
        // The window starts 80 years before now.
        const Date now = now_ ? now_() : Date::now();
        const int64_t start = civilFromEpoch(static_cast<int64_t>(now.seconds)).year - 80;
        int64_t year = start - ((start % 100) + 100) % 100 + t.year;
        if (year < start)
            year += 100;
        t.year = year;
    }
    if (!isValidCivilDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 ||
        t.second > 59) {
        return std::nullopt;
    }
    if (zoneOffset)
        return Date{static_cast<double>(timeToEpoch(t) - *zoneOffset)};
    auto utc = toUtc(t);
    if (!utc)
        return std::nullopt;
    return Date{static_cast<double>(*utc)};
}

}  // namespace plat
