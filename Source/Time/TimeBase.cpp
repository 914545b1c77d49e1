// TimeBase.cpp
//
// Portable: no platform headers.
#include "Time/TimeBase.h"

#include "Foundation/Exception.h"

#include <limits>

namespace Vorlix {

void TimeBase::setSeconds(int32_t count)
{
    if (count < 0) {
        VORLIX_THROW(TimeException, TM_DATETIME, "");
    }
    secs = count;
}

int32_t saturateSeconds(int64_t value)
{
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

} // namespace Vorlix
