// TimeBase.h - the seconds count shared by instants and spans.
//
// Portable: no platform headers.
#pragma once

#include <cstdint>

namespace Vorlix {

class TimeBase {
public:
    TimeBase() = default;
    explicit TimeBase(int32_t count) : secs(count) {}
    virtual ~TimeBase() = default;

    TimeBase(const TimeBase&) = default;
    TimeBase& operator=(const TimeBase&) = default;

    int32_t seconds() const { return secs; }
    bool isZero() const { return secs == 0; }
    // Rejects a negative count with TimeException TM_DATETIME.
    void setSeconds(int32_t count);

protected:
    int32_t secs = 0;
};

// Clamps a 64-bit intermediate into the 32-bit seconds range.
int32_t saturateSeconds(int64_t value);

} // namespace Vorlix
