#pragma once
// Dates as text in fixed patterns: "dd/MM/yyyy HH:mm:ss", "yyyy/MM/dd", "ddMMyyyy", "ddMMyy",
// "dd/MM/yy HH:mm", "EEE, dd MMM yyyy HH:mm:ss z" and the like (fields dd MM yyyy yy HH mm ss,
// English weekday and month abbreviations EEE and MMM, and a zone z: written "GMT" or
// "GMT+hh:mm"; read as "GMT", "UTC", "UT", "Z", either of the first three with an offset
// "+h", "+hh:mm" or "+hhmm", a bare "+hhmm", or a US zone abbreviation such as "PST"; a zone in
// the text wins over the formatter's). Any other character is a literal.
// The calendar is always the Gregorian one and digits are always Latin, whatever the user's
// locale. Parsing is strict: text that does not match the whole pattern gives nothing. Two-digit
// years fall in the hundred years that start 80 years before "now" (injectable for tests).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Value.h"

namespace plat {

// A time zone: UTC, a fixed offset, or the machine's own zone (with its daylight-saving rules).
class TimeZone {
  public:
    static TimeZone utc() { return TimeZone(0); }
    static TimeZone fixedOffset(int32_t secondsEastOfUtc) { return TimeZone(secondsEastOfUtc); }
    static TimeZone local();
    bool isLocal() const { return local_; }
    int32_t fixedOffsetSeconds() const { return offset_; }

  private:
    explicit TimeZone(int32_t offset) : offset_(offset) {}
    int32_t offset_ = 0;
    bool local_ = false;
};

// A broken-down civil time (proleptic Gregorian).
struct CivilTime {
    int64_t year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Seconds since 1970-01-01 00:00:00 UTC of a civil time read with an hour offset (timegm-style,
// exact for every Gregorian leap-year rule).
int64_t timeToEpoch(const CivilTime& time, int hourOffset = 0);
CivilTime civilFromEpoch(int64_t seconds);
bool isValidCivilDate(int64_t year, int month, int day);

class DateFormatter {
  public:
    DateFormatter(std::string pattern, TimeZone zone);

    const std::string& pattern() const { return pattern_; }
    std::string stringFromDate(const Date& date) const;
    std::optional<Date> dateFromString(std::string_view text) const;

    // The instant that two-digit years are windowed around; the real clock when unset.
    void setReferenceNow(std::function<Date()> now) { now_ = std::move(now); }

  private:
    enum class Field {
        Literal,
        Day,
        Month,
        Year4,
        Year2,
        Hour,
        Minute,
        Second,
        Weekday,
        MonthName,
        Zone
    };
    struct Token {
        Field field;
        std::string literal;
    };
    int32_t offsetFor(int64_t utcSeconds) const;
    std::optional<int64_t> toUtc(const CivilTime& local) const;

    std::string pattern_;
    TimeZone zone_;
    std::vector<Token> tokens_;
    std::function<Date()> now_;
};

}  // namespace plat
