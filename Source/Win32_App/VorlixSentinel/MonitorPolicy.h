// MonitorPolicy.h - the status monitor's decisions: its timers, the registry markers and the
// restart rule, as pure functions of clock readings the caller passes in.
//
// Portable: no platform headers, so the decisions can be tested as tables over any clock.
#pragma once

#include "Foundation/StringUtils.h"

#include <cstdint>
#include <string>

namespace SentinelPolicy {

constexpr int32_t kAlivePeriod = 30;
constexpr int32_t kMarkerPeriod = 5;
constexpr int32_t kCheckPeriod = 5;
constexpr int32_t kRestartWindow = 10800; // 3 hours after the last successful start
constexpr int32_t kRestartLimit = 3;

// Timers of the status monitor, in whole seconds of the system clock.
struct MonitorTimers {
    int32_t nextAlive = 0;
    int32_t nextMarker = 0;
    int32_t nextCheck = 0;

    // Armed at thread start `start`: the first pass reads the markers and then, unless they
    // forbid it, checks the applications at once. A watchdog started while its checks are
    // suspended so checks nothing.
    static MonitorTimers armed(int32_t start) { return {start + kAlivePeriod, start, start - kCheckPeriod}; }
};

// A timer is due once the pass's clock reading has reached it; a due timer is re-armed to a fresh
// reading plus its period. Answers whether it was due.
inline bool fire(int32_t& next, int32_t passTime, int32_t freshTime, int32_t period)
{
    if (passTime < next) {
        return false;
    }
    next = freshTime + period;
    return true;
}

// Result codes of a registry number read, as the registry facade answers them.
constexpr int kRegRead = 0;
constexpr int kRegMissing = 2;

enum MarkerVerdict {
    MARKERS_RUN,           // check the applications
    MARKERS_PAUSE,         // the per-instance marker suspends application checks
    MARKERS_STOP_MISSING,  // machine-wide marker missing: stop
    MARKERS_STOP_SHUTDOWN, // machine-wide marker holds 2: stop
    MARKERS_STOP_RECREATE, // per-instance marker missing: write it with 1, then stop
};

// `machineResult`/`instanceResult` are the read results, the values count only when read. A marker
// that is present but no 32-bit number is no stop request (machine-wide) and pauses the checks
// (per-instance), the cautious reading of each.
inline MarkerVerdict judgeMarkers(int machineResult, int32_t machineValue, int instanceResult,
                                  int32_t instanceValue)
{
    if (machineResult == kRegMissing) {
        return MARKERS_STOP_MISSING;
    }
    if (machineResult == kRegRead && machineValue == 2) {
        return MARKERS_STOP_SHUTDOWN;
    }
    if (instanceResult == kRegMissing) {
        return MARKERS_STOP_RECREATE;
    }
    if (instanceResult != kRegRead || instanceValue != 1) {
        return MARKERS_PAUSE;
    }
    return MARKERS_RUN;
}

// True when the last successful start lies strictly more than the window before `now`.
inline bool windowPassed(int32_t lastStart, int32_t now)
{
    return static_cast<int64_t>(lastStart) + kRestartWindow < static_cast<int64_t>(now);
}

// A running application's restart counter after a check.
inline int32_t counterWhileRunning(int32_t lastStart, int32_t restartCount, int32_t now)
{
    return windowPassed(lastStart, now) ? 0 : restartCount;
}

enum StoppedVerdict {
    STOPPED_RESTART, // WARNING 7, count one more restart and start it again
    STOPPED_GIVE_UP, // WARNING 7, ERROR 8, remove the record
    STOPPED_LET_GO,  // no longer active and ended as told: remove the record, no restart
};

inline StoppedVerdict judgeStopped(bool active, int32_t lastStart, int32_t restartCount, int32_t now)
{
    if (!active) {
        return STOPPED_LET_GO;
    }
    if (windowPassed(lastStart, now) && restartCount > kRestartLimit) {
        return STOPPED_GIVE_UP;
    }
    return STOPPED_RESTART;
}

// A peer's text made safe for one debug line (see escapeControlBytes).
inline std::string escapeForLog(const std::string& text)
{
    return Vorlix::escapeControlBytes(text);
}

} // namespace SentinelPolicy
