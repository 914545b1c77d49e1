// MonitorPolicyTest.cpp - the status monitor's timers, marker decisions and restart rule, as
// tables over clock readings.
//
// Portable test code.
#include "VorlixSentinel/MonitorPolicy.h"

#include <gtest/gtest.h>

using namespace SentinelPolicy;

namespace {

constexpr int32_t T0 = 1700000000;
constexpr int32_t kHour = 3600;

} // namespace

TEST(MonitorPolicy, TimersArmAndFire)
{
    MonitorTimers timers = MonitorTimers::armed(T0);
    EXPECT_EQ(timers.nextAlive, T0 + 30);
    EXPECT_EQ(timers.nextMarker, T0) << "the markers are read before the first check";

    // The first pass checks the applications at once; the next check is a period after a fresh
    // reading of the clock, not after the pass's reading.
    EXPECT_TRUE(fire(timers.nextCheck, T0, T0 + 2, kCheckPeriod));
    EXPECT_EQ(timers.nextCheck, T0 + 7);
    EXPECT_FALSE(fire(timers.nextCheck, T0 + 6, T0 + 6, kCheckPeriod));
    EXPECT_EQ(timers.nextCheck, T0 + 7);
    EXPECT_TRUE(fire(timers.nextCheck, T0 + 7, T0 + 7, kCheckPeriod)) << "due once reached";
    EXPECT_TRUE(fire(timers.nextMarker, T0, T0, kMarkerPeriod));
    EXPECT_FALSE(fire(timers.nextMarker, T0 + 4, T0 + 4, kMarkerPeriod));
    EXPECT_TRUE(fire(timers.nextMarker, T0 + 9, T0 + 9, kMarkerPeriod));
    EXPECT_EQ(timers.nextMarker, T0 + 14);
}

TEST(MonitorPolicy, MarkerDecisions)
{
    struct Case {
        int machineResult;
        int32_t machineValue;
        int instanceResult;
        int32_t instanceValue;
        MarkerVerdict expected;
        const char* why;
    };
    const Case cases[] = {
        {kRegRead, 1, kRegRead, 1, MARKERS_RUN, "both markers at 1"},
        {kRegRead, 0, kRegRead, 1, MARKERS_RUN, "machine-wide marker at any value but 2 runs on"},
        {kRegMissing, 0, kRegRead, 1, MARKERS_STOP_MISSING, "machine-wide marker deleted"},
        {kRegRead, 2, kRegRead, 1, MARKERS_STOP_SHUTDOWN, "machine-wide marker at 2"},
        {kRegRead, 2, kRegMissing, 0, MARKERS_STOP_SHUTDOWN, "the machine-wide marker is read first"},
        {3, 0, kRegRead, 1, MARKERS_RUN, "machine-wide marker not a number: no stop request"},
        {kRegRead, 1, kRegMissing, 0, MARKERS_STOP_RECREATE, "per-instance marker deleted"},
        {kRegRead, 1, kRegRead, 0, MARKERS_PAUSE, "per-instance marker 0 pauses"},
        {kRegRead, 1, kRegRead, 3, MARKERS_PAUSE, "per-instance marker 3 pauses"},
        {kRegRead, 1, kRegRead, -1, MARKERS_PAUSE, "per-instance marker -1 pauses"},
        {kRegRead, 1, 3, 0, MARKERS_PAUSE, "per-instance marker not a number pauses"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(judgeMarkers(c.machineResult, c.machineValue, c.instanceResult, c.instanceValue),
                  c.expected);
    }
}

TEST(MonitorPolicy, RestartRule)
{
    struct Case {
        bool active;
        int32_t lastStart;
        int32_t restartCount;
        int32_t now;
        StoppedVerdict expected;
        const char* why;
    };
    const Case cases[] = {
        {true, T0, 0, T0 + 5, STOPPED_RESTART, "first crash"},
        {true, T0, 10, T0 + kHour, STOPPED_RESTART, "within the window every crash is restarted"},
        {true, T0, 100, T0 + 3 * kHour, STOPPED_RESTART, "exactly at the window's end is still within"},
        {true, T0, 3, T0 + 3 * kHour + 1, STOPPED_RESTART, "after the window, a counter of 3 is restarted"},
        {true, T0, 4, T0 + 3 * kHour + 1, STOPPED_GIVE_UP, "after the window, a counter above 3 gives up"},
        {true, 0, 4, T0, STOPPED_GIVE_UP, "never started successfully: the epoch lies far back"},
        {false, T0, 0, T0 + 5, STOPPED_LET_GO, "inactive and ended as told: not restarted"},
        {false, T0, 9, T0 + 4 * kHour, STOPPED_LET_GO, "inactive beats the give-up rule"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(judgeStopped(c.active, c.lastStart, c.restartCount, c.now), c.expected);
    }
}

TEST(MonitorPolicy, CounterClearedAfterThreeHoursOfRunning)
{
    EXPECT_EQ(counterWhileRunning(T0, 5, T0 + 3 * kHour), 5);
    EXPECT_EQ(counterWhileRunning(T0, 5, T0 + 3 * kHour + 1), 0);
    EXPECT_EQ(counterWhileRunning(2147483647 - 10, 2, 2147483647), 2) << "no overflow at the end of time";
}

TEST(MonitorPolicy, EscapesPeerTextForOneLogLine)
{
    struct Case {
        const char* text;
        const char* expected;
        const char* why;
    };
    const Case cases[] = {
        {"Vorlix_Core", "Vorlix_Core", "plain text stays"},
        {"C:\\bin\\x.exe|-a", "C:\\bin\\x.exe|-a", "paths and the request separator stay"},
        {"a\r\nFATAL forged", "a\\x0D\\x0AFATAL forged", "CR and LF cannot start a new line"},
        {"p\x1A"
         "q\x1B",
         "p\\x1Aq\\x1B", "parameter and field separators"},
        {"\x7F", "\\x7F", "DEL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(escapeForLog(c.text), c.expected);
    }
}
