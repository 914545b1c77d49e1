// DateTime.h - instants as seconds since 1970-01-01T00:00:00 UTC, with ISO 8601 text.
//
// Portable: uses only the C runtime's clock and time-zone functions. Every value lies between the
// epoch and 2038-01-19T03:14:07Z (MAX). Local time comes from a zone offset: the object's own, the
// process-wide default (set by the last instant given an offset), or the platform's.
#pragma once

#include "Time/TimeBase.h"
#include "Time/TimeSpan.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace Vorlix {

struct DateFields {
    int32_t year = 1970;
    int32_t month = 1;
    int32_t day = 1;
    int32_t weekday = 3; // 0 = Monday ... 6 = Sunday
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    uint8_t isLocal = 0;
};

class DateTime : public TimeBase {
public:
    static constexpr int32_t UNSET = 2147483647;
    static constexpr int32_t MAX = 2147483647;

    DateTime();
    explicit DateTime(int32_t count);
    explicit DateTime(const DateFields& fields);
    DateTime(const DateTime& other);
    DateTime& operator=(const DateTime& other);

    // Clamps the fields into range (and to MAX), subtracts the offset in minutes unless UNSET, and
    // stores the instant; throws TM_DATETIME, leaving the object unchanged, when it lies outside.
    void set(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
             int32_t offsetMinutes = UNSET);
    void setFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                   bool utc);

    int32_t zoneOffset(bool useDefault = true) const;
    void setZoneOffset(int32_t offsetMinutes);

    DateFields fields() const;
    DateFields dateFields() const;
    DateFields timeFields() const;
    static DateFields toLocalFields(const DateFields& fields);

    std::string toString(bool utc = false, bool basic = false, bool showZone = false) const;
    static std::string timeText(const DateFields& timeHalf, bool basic, bool showZone);

    static DateFields parse(const std::string& text);

    void refresh();
    void setSeconds(int32_t count) { secs = count; }

    bool operator<(const DateTime& other) const { return secs < other.secs; }
    bool operator>(const DateTime& other) const { return secs > other.secs; }

    DateTime& operator+=(const TimeSpan& span);
    DateTime operator+(const TimeSpan& span) const;

    void alignDown(const TimeSpan& span);

    static void waitSeconds(int32_t count);

    // Shared by every thread that converts times; atomic so concurrent conversions stay defined.
    static std::atomic<int32_t> defaultZoneOffset;

private:
    static int32_t platformOffsetAt(int32_t count);

    int32_t offset = UNSET;
};

} // namespace Vorlix
