// DateTime.cpp - instants, calendar fields, zone offsets, ISO 8601 printing and parsing.
//
// Portable: only the C runtime's time, gmtime, localtime and _tzset.
#include "Time/DateTime.h"

#include "Foundation/Exception.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace Vorlix {

std::atomic<int32_t> DateTime::defaultZoneOffset{DateTime::UNSET};

namespace {

const int32_t kMaxYear = 2038;
const int32_t kMaxMonth = 1;
const int32_t kMaxDay = 19;
const int32_t kMaxHour = 3;
const int32_t kMaxMinute = 14;
const int32_t kMaxSecond = 7;

void initialiseZoneOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
#ifdef _WIN32
        _tzset();
#else
        tzset();
#endif
    });
}

int32_t daysInMonth(int32_t month, int32_t year)
{
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return year % 4 == 0 ? 29 : 28; // no century rule: every year in range follows it
    default:
        return 31;
    }
}

int32_t daysBeforeMonth(int32_t month, int32_t year)
{
    int32_t days = 0;
    for (int32_t m = 1; m < month && m <= 12; ++m) {
        days += daysInMonth(m, year);
    }
    return days;
}

// The count of an instant given as UTC fields, or -1 when the year is outside 1970-2038 or the
// count does not fit in 32 bits. The minute may lie outside 0-59 (after an offset has been
// subtracted): the sum is linear in it.
int64_t fieldsToSeconds(int32_t year, int32_t month, int32_t day, int32_t hour, int64_t minute,
                        int32_t second)
{
    const int32_t y = year - 1900;
    if (y < 70 || y > 138) {
        return -1;
    }
    const int64_t leapYears = (year - 1) / 4 - 1969 / 4; // multiples of 4 in [1970, year)
    const int64_t days =
        365 * static_cast<int64_t>(year - 1970) + leapYears + daysBeforeMonth(month, year) + day - 1;
    const int64_t count = 86400 * days + 3600 * static_cast<int64_t>(hour) + 60 * minute + second;
    return count > DateTime::MAX ? -1 : count;
}

// Days since the epoch of a proleptic Gregorian date, for offsets of any local date.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

DateFields fromTm(const std::tm& t, uint8_t isLocal)
{
    DateFields f;
    f.year = t.tm_year + 1900;
    f.month = t.tm_mon + 1;
    f.day = t.tm_mday;
    f.weekday = (t.tm_wday + 6) % 7;
    f.hour = t.tm_hour;
    f.minute = t.tm_min;
    f.second = t.tm_sec;
    f.isLocal = isLocal;
    return f;
}

std::string twoDigits(int32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", static_cast<int>(value));
    return buffer;
}

std::string offsetText(int32_t minutes)
{
    const int32_t magnitude = minutes < 0 ? -minutes : minutes;
    return std::string(minutes < 0 ? "-" : "+") + twoDigits(magnitude / 60) + ":" + twoDigits(magnitude % 60);
}

bool isDigitAt(const std::string& text, int index)
{
    if (index == -1) {
        for (char c : text) {
            if (c < '0' || c > '9') {
                return false;
            }
        }
        return true;
    }
    return index >= 0 && static_cast<size_t>(index) < text.size() && text[index] >= '0' && text[index] <= '9';
}

[[noreturn]] void inputError(const char* message)
{
    VORLIX_THROW(TimeException, TM_INPUT, message);
}

// The two characters of a field at `p`, after one `separator` that may stand there first instead
// of a digit; `p` moves past them. Another byte there, or fewer than two characters left, is an
// input error with the matching message.
std::string twoCharacterField(const std::string& text, size_t& p, char separator,
                              const char* separatorMessage, const char* lengthMessage)
{
    if (!isDigitAt(text, static_cast<int>(p))) {
        if (text[p] != separator) {
            inputError(separatorMessage);
        }
        ++p;
    }
    if (text.size() < p + 2) {
        inputError(lengthMessage);
    }
    const std::string field = text.substr(p, 2);
    p += 2;
    return field;
}

// The field's number when its text is all digits, else the fallback taken from now.
int32_t numberOr(const std::string& text, int32_t fallback)
{
    return isDigitAt(text, -1) ? std::atoi(text.c_str()) : fallback;
}

} // namespace

DateTime::DateTime()
{
    initialiseZoneOnce();
    secs = saturateSeconds(static_cast<int64_t>(std::time(nullptr)));
}

DateTime::DateTime(int32_t count)
{
    initialiseZoneOnce();
    secs = count;
}

DateTime::DateTime(const DateFields& f)
{
    initialiseZoneOnce();
    setFields(f.year, f.month, f.day, f.hour, f.minute, f.second, f.isLocal == 0);
}

DateTime::DateTime(const DateTime& other) : TimeBase(other), offset(other.offset)
{
    if (offset != UNSET) {
        defaultZoneOffset = offset;
    }
}

DateTime& DateTime::operator=(const DateTime& other)
{
    secs = other.secs;
    offset = other.offset;
    if (offset != UNSET) {
        defaultZoneOffset = offset;
    }
    return *this;
}

void DateTime::set(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                   int32_t offsetMinutes)
{
    auto clamp = [](int32_t value, int32_t low, int32_t high) {
        return value < low ? low : (value > high ? high : value);
    };
    if (year < 1970) {
        year = 1970;
    }
    month = clamp(month, 1, 12);
    day = clamp(day, 1, daysInMonth(month, year));
    hour = clamp(hour, 0, 23);
    minute = clamp(minute, 0, 59);
    second = clamp(second, 0, 59);

    // Clamping to MAX walks down the fields only while the field above it was lowered.
    if (year > kMaxYear) {
        year = kMaxYear;
        if (month > kMaxMonth) {
            month = kMaxMonth;
            if (day > kMaxDay) {
                day = kMaxDay;
                if (hour > kMaxHour) {
                    hour = kMaxHour;
                    if (minute > kMaxMinute) {
                        minute = kMaxMinute;
                        if (second > kMaxSecond) {
                            second = kMaxSecond;
                        }
                    }
                }
            }
        }
    }

    int64_t minuteTotal = minute;
    if (offsetMinutes != UNSET) {
        minuteTotal -= offsetMinutes;
    }
    const int64_t count = fieldsToSeconds(year, month, day, hour, minuteTotal, second);
    if (count < 0) {
        VORLIX_THROW(TimeException, TM_DATETIME, "");
    }
    secs = static_cast<int32_t>(count);
    setZoneOffset(offsetMinutes);
}

void DateTime::setFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                         int32_t second, bool utc)
{
    const int32_t before = secs;
    const int32_t beforeOffset = offset;
    set(year, month, day, hour, minute, second, UNSET);
    if (utc) {
        return;
    }
    defaultZoneOffset = UNSET;
    const int32_t atInstant = zoneOffset(true);
    const int32_t hourEarlier = platformOffsetAt(secs >= 3600 ? secs - 3600 : 0);
    // The larger offset settles the hour that a daylight-saving change makes ambiguous.
    const int32_t larger = atInstant > hourEarlier ? atInstant : hourEarlier;
    const int64_t utcCount = static_cast<int64_t>(secs) - 60 * static_cast<int64_t>(larger);
    if (utcCount < 0 || utcCount > MAX) {
        // Local fields that lie before the epoch (or past MAX) once converted are rejected like
        // any other instant out of range.
        secs = before;
        offset = beforeOffset;
        VORLIX_THROW(TimeException, TM_DATETIME, "");
    }
    secs = static_cast<int32_t>(utcCount);
}

// static
int32_t DateTime::platformOffsetAt(int32_t count)
{
    initialiseZoneOnce();
    const std::time_t t = count;
    const std::tm* local = std::localtime(&t);
    if (local == nullptr) {
        return 0;
    }
    const int64_t localCount =
        86400 * daysFromCivil(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday) +
        3600 * local->tm_hour + 60 * local->tm_min + local->tm_sec;
    return static_cast<int32_t>((localCount - count) / 60);
}

int32_t DateTime::zoneOffset(bool useDefault) const
{
    if (offset != UNSET) {
        return offset;
    }
    const int32_t fallback = defaultZoneOffset;
    if (useDefault && fallback != UNSET) {
        return fallback;
    }
    return platformOffsetAt(secs);
}

void DateTime::setZoneOffset(int32_t offsetMinutes)
{
    offset = offsetMinutes;
    if (offsetMinutes != UNSET) {
        defaultZoneOffset = offsetMinutes;
    }
}

DateFields DateTime::fields() const
{
    const std::time_t t = secs < 0 ? 0 : secs;
    const std::tm* utc = std::gmtime(&t);
    return utc != nullptr ? fromTm(*utc, 0) : DateFields{};
}

DateFields DateTime::dateFields() const
{
    DateFields f = fields();
    f.hour = 0;
    f.minute = 0;
    f.second = 0;
    return f;
}

DateFields DateTime::timeFields() const
{
    DateFields f = fields();
    f.isLocal = 0;
    return f;
}

// static
DateFields DateTime::toLocalFields(const DateFields& f)
{
    if (f.isLocal == 1) {
        return f;
    }
    DateTime instant(f);
    int64_t local = static_cast<int64_t>(instant.secs) + 60 * static_cast<int64_t>(instant.zoneOffset(true));
    if (local < 0 || local > MAX) {
        local = MAX;
    }
    DateFields result = DateTime(static_cast<int32_t>(local)).fields();
    result.isLocal = 1;
    return result;
}

// static
std::string DateTime::timeText(const DateFields& t, bool basic, bool showZone)
{
    const char* separator = basic ? "" : ":";
    std::string text = twoDigits(t.hour) + separator + twoDigits(t.minute) + separator + twoDigits(t.second);
    if (t.isLocal == 0) {
        text += "Z";
    } else if (showZone) {
        text += offsetText(DateTime().zoneOffset(true));
    }
    return text;
}

std::string DateTime::toString(bool utc, bool basic, bool showZone) const
{
    const DateFields f = utc ? fields() : toLocalFields(fields());
    const char* separator = basic ? "" : "-";
    char year[16];
    std::snprintf(year, sizeof year, "%d", static_cast<int>(f.year));
    return std::string(year) + separator + twoDigits(f.month) + separator + twoDigits(f.day) + "T" +
           timeText(f, basic, showZone);
}

// static
DateFields DateTime::parse(const std::string& text)
{
    const DateFields now = DateTime().fields();

    const size_t t = text.find('T');
    if (t == std::string::npos) {
        inputError("Date and time must be separated by a 'T'.");
    }
    const std::string date = text.substr(0, t);
    const std::string time = text.substr(t + 1);

    if (date.size() < 4) {
        inputError("Minimum input: \"yyyy\".");
    }
    std::string yearText = date.substr(0, 4);
    std::string monthText = "01";
    std::string dayText = "01";
    if (date.size() > 4) {
        size_t p = 4;
        monthText = twoCharacterField(date, p, '-', "Expected '-' after yyyy (year).",
                                      "Illegal input format. Month must have 2 digits.");
        if (p < date.size()) {
            dayText = twoCharacterField(date, p, '-', "Expected '-' after mm (month).",
                                        "Illegal input format. Day must have 2 digits.");
            if (p < date.size()) {
                inputError("Input too long.");
            }
        }
    }
    const int32_t year = numberOr(yearText, now.year);
    const int32_t month = numberOr(monthText, now.month);
    const int32_t day = numberOr(dayText, now.day);

    std::string minuteText = "00";
    std::string secondText = "00";
    if (time.size() < 2) {
        inputError("Minimum input: \"hh\".");
    }
    if (!isDigitAt(time, 0) || !isDigitAt(time, 1)) {
        inputError("Minimum input format: \"hh\".");
    }
    const std::string hourText = time.substr(0, 2);
    bool utc = false;
    bool haveZone = false;
    int32_t zoneMinutes = 0;
    size_t p = 2;
    if (p < time.size()) {
        minuteText = twoCharacterField(time, p, ':', "Expected ':' after hh (hours).",
                                       "Illegal input format. Minutes must have 2 digits.");
    }
    if (p < time.size()) {
        secondText = twoCharacterField(time, p, ':', "Expected ':' after mm (minutes).",
                                       "Illegal input format. Seconds must have 2 digits.");
    }
    if (p < time.size()) {
        if (time[p] == 'Z') {
            if (p + 1 != time.size()) {
                inputError("Input too long.");
            }
            utc = true;
        } else {
            const char sign = time[p];
            if (sign != '+' && sign != '-') {
                inputError("Expected '+' or '-' before timezone.");
            }
            ++p;
            if (time.size() < p + 2 || !isDigitAt(time, static_cast<int>(p)) ||
                !isDigitAt(time, static_cast<int>(p + 1))) {
                inputError("Illegal input format. Hours in timezone must have 2 digits.");
            }
            const int32_t zoneHours = std::atoi(time.substr(p, 2).c_str());
            int32_t zoneMins = 0;
            p += 2;
            if (p < time.size()) {
                zoneMins = std::atoi(
                    twoCharacterField(time, p, ':', "Expected ':' after hh (hours) in timezone.",
                                      "Illegal input format. Minutes in timezone must have 2 digits.")
                        .c_str());
                if (p < time.size()) {
                    inputError("Input too long.");
                }
            }
            zoneMinutes = 60 * zoneHours + zoneMins;
            if (sign == '-') {
                zoneMinutes = -zoneMinutes;
            }
            haveZone = true;
        }
    }
    const int32_t hour = std::atoi(hourText.c_str());
    const int32_t minute = numberOr(minuteText, now.minute);
    const int32_t second = numberOr(secondText, now.second);

    DateFields result;
    if (utc) {
        result.year = year;
        result.month = month;
        result.day = day;
        result.hour = hour;
        result.minute = minute;
        result.second = second;
        result.isLocal = 0;
    } else {
        if (!haveZone) {
            DateTime local;
            local.setFields(year, month, day, hour, minute, second, false);
            zoneMinutes = local.zoneOffset(true);
        }
        DateTime shifted(0);
        shifted.set(year, month, day, hour, minute, second, zoneMinutes);
        result = shifted.fields();
    }
    return DateTime(result).fields();
}

void DateTime::refresh()
{
    secs = saturateSeconds(static_cast<int64_t>(std::time(nullptr)));
}

DateTime& DateTime::operator+=(const TimeSpan& span)
{
    secs = saturateSeconds(static_cast<int64_t>(secs) + span.seconds());
    return *this;
}

DateTime DateTime::operator+(const TimeSpan& span) const
{
    DateTime copy(*this);
    copy += span;
    return copy;
}

void DateTime::alignDown(const TimeSpan& span)
{
    const int64_t period = span.seconds();
    if (period <= 1) {
        return;
    }
    const int32_t saved = defaultZoneOffset;
    defaultZoneOffset = UNSET;
    auto alignWith = [this, period](int64_t shift) {
        int64_t value = secs + shift;
        value -= value % period;
        value -= shift;
        secs = saturateSeconds(value);
    };
    const int64_t firstShift = 60 * static_cast<int64_t>(zoneOffset(true));
    alignWith(firstShift);
    const int64_t secondShift = 60 * static_cast<int64_t>(zoneOffset(true));
    if (secondShift != firstShift) {
        alignWith(secondShift);
    }
    defaultZoneOffset = saved;
}

// static
void DateTime::waitSeconds(int32_t count)
{
    const std::time_t until = std::time(nullptr) + count;
    while (std::time(nullptr) < until) {
        // Busy by design: the wait re-reads the clock without sleeping.
    }
}

} // namespace Vorlix
