// TimeSpan.cpp - durations and duration text.
//
// Portable: no platform headers.
#include "Time/TimeSpan.h"

#include "Foundation/Exception.h"

#include <limits>

namespace Vorlix {

namespace {

// The run of decimal digits that ends just before `end`, as a number; clamped at the 32-bit limit.
int32_t digitsBefore(const std::string& text, size_t end)
{
    size_t start = end;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') {
        --start;
    }
    int64_t value = 0;
    for (size_t i = start; i < end; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            return std::numeric_limits<int32_t>::max();
        }
    }
    return static_cast<int32_t>(value);
}

} // namespace

TimeSpan::TimeSpan(const TimeSpanFields& fields)
{
    int64_t total =
        ((static_cast<int64_t>(fields.days) * 24 + fields.hours) * 60 + fields.minutes) * 60 + fields.seconds;
    if (fields.negative == 1) {
        total = -total;
    }
    secs = saturateSeconds(total);
}

void TimeSpan::setParts(int32_t days, int32_t hours, int32_t minutes, int32_t seconds)
{
    if (days < -24855 || days > 24855) {
        VORLIX_THROW(TimeException, TM_DAYS, "");
    }
    if (hours < 0 || hours > 23) {
        VORLIX_THROW(TimeException, TM_HOURS, "");
    }
    if (minutes < 0 || minutes > 59) {
        VORLIX_THROW(TimeException, TM_MINUTES, "");
    }
    if (seconds < 0 || seconds > 59) {
        VORLIX_THROW(TimeException, TM_SECONDS, "");
    }
    secs = saturateSeconds(static_cast<int64_t>(days) * 86400 + hours * 3600 + minutes * 60 + seconds);
}

// static
TimeSpanFields TimeSpan::parse(const std::string& text)
{
    TimeSpanFields fields;
    if (text.empty()) {
        return fields;
    }
    if (text[0] != 'P') {
        VORLIX_THROW(TimeException, TM_INPUT, "Expected 'P' in beginning of time span.");
    }
    if (text.size() > 1 && text[1] == '-') {
        fields.negative = 1;
    }
    struct Designator {
        char letter;
        int32_t* field;
    };
    const Designator designators[] = {
        {'D', &fields.days}, {'H', &fields.hours}, {'M', &fields.minutes}, {'S', &fields.seconds}};
    for (const auto& d : designators) {
        const size_t at = text.find(d.letter);
        if (at != std::string::npos) {
            *d.field = digitsBefore(text, at);
        }
    }
    return fields;
}

} // namespace Vorlix
