// Timer.h - a deadline for loops that poll, on the wall clock at one-second resolution; and the
// library's sleep call.
#pragma once

#include "Time/DateTime.h"

#include <cstdint>

namespace Vorlix {

class Timer {
public:
    Timer() = default; // the deadline is now: expired from the next second on
    virtual ~Timer() = default;

    void setDeadline(const DateTime& when) { deadline = when; }
    const DateTime& getDeadline() const { return deadline; }
    // True once the deadline is earlier than the current second.
    bool expired() const { return deadline < DateTime(); }

    static void sleep(uint32_t milliseconds);

private:
    DateTime deadline;
};

} // namespace Vorlix
