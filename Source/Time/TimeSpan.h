// TimeSpan.h - signed durations in whole seconds, and their ISO 8601 style duration text.
//
// Portable: no platform headers. A duration text is "P" followed by numbers with the designators
// D, H, M and S in any order ("M" is always minutes); "P-" makes it negative. A total that does
// not fit in the signed 32-bit count is clamped to the nearest end of the range.
#pragma once

#include "Time/TimeBase.h"

#include <string>

namespace Vorlix {

struct TimeSpanFields {
    int32_t days = 0;
    int32_t hours = 0;
    int32_t minutes = 0;
    int32_t seconds = 0;
    uint8_t negative = 0;
};

class TimeSpan : public TimeBase {
public:
    TimeSpan() = default;
    explicit TimeSpan(int32_t count) : TimeBase(count) {}
    explicit TimeSpan(const TimeSpanFields& fields);

    // Range-checked: days +-24855, hours 0-23, minutes and seconds 0-59; throws TM_DAYS, TM_HOURS,
    // TM_MINUTES or TM_SECONDS and leaves the span unchanged.
    void setParts(int32_t days, int32_t hours, int32_t minutes, int32_t seconds);

    static TimeSpanFields parse(const std::string& text);

    bool operator<=(const TimeSpan& other) const { return secs <= other.secs; }
    bool operator!=(const TimeSpan& other) const { return secs != other.secs; }
    bool operator==(const TimeSpan& other) const { return secs == other.secs; }
};

} // namespace Vorlix
