// SentinelProgramTest.cpp - the watchdog program end to end under Wine: a real installation tree,
// real registry markers, copies of the reference application as monitored applications, and
// exit codes.
//
// Win32-only test code.
#include "SentinelTestSupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace SentinelTesting;

namespace {

constexpr uint32_t kConfigureFailed = 0xFFFFFFFFu; // exit code -1

class SentinelProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        watchdog.kill();
        for (const char* id : {"Recorder", "Collector", "Analyser"}) {
            if (const uint32_t pid = probe.processId(id, 300ms)) {
                killProcess(pid);
            }
        }
        Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 1);
    }

    // Posts a close message to the watchdog's main thread and answers its exit code.
    uint32_t closeWatchdog()
    {
        EXPECT_TRUE(TestSupport::waitUntil(
            [&] { return PostThreadMessageA(watchdog.threadId, WM_CLOSE, 0, 0) != FALSE; }, 20s));
        return waitExit();
    }

    uint32_t waitExit(std::chrono::milliseconds deadline = 25s)
    {
        uint32_t code = 12345;
        EXPECT_TRUE(watchdog.wait(deadline, code)) << "watchdog did not stop";
        return code;
    }

    Installation install;
    TestSupport::ChildProcess watchdog;
    Probe probe;
};

TEST_F(SentinelProgram, StartsAttachesRestartsPausesAndStops)
{
    // Collector already runs when the watchdog starts: it is attached, not started again.
    install.writeConfiguration(
        {{"recorder", "Recorder", true, "", true}, {"collector", "Collector", true, "", true}});
    TestSupport::ChildProcess collector;
    ASSERT_TRUE(collector.start("\"" + TestSupport::programPath("ReferenceApp.exe") +
                                "\" --id Collector --lifetime 90"));
    ASSERT_NE(probe.waitForProcess("Collector", 10s), 0u);

    ASSERT_TRUE(install.start(watchdog));
    const uint32_t first = probe.waitForProcess("Recorder", 20s);
    ASSERT_NE(first, 0u) << "recorder was not started";
    EXPECT_EQ(readMarker(instanceMarker()), 1) << "a missing marker is created with 1 at start";
    EXPECT_EQ(probe.processId("Collector"), collector.processId);

    // A crash is noticed at the next check and the program started again.
    killProcess(first);
    const uint32_t second = probe.waitForProcess("Recorder", 15s, first);
    ASSERT_NE(second, 0u) << "recorder was not restarted";

    // The per-instance marker at 0 suspends the checks: no restart while it holds.
    Vorlix::SystemInfo::setRegNumber(kResources, instanceMarker(), 0);
    Sleep(5500); // one marker period, so the watchdog has read the new value
    killProcess(second);
    EXPECT_EQ(probe.waitForProcess("Recorder", 8s), 0u) << "restarted although the checks were suspended";

    // Back to 1: the checks resume at the next marker reading.
    Vorlix::SystemInfo::setRegNumber(kResources, instanceMarker(), 1);
    const uint32_t third = probe.waitForProcess("Recorder", 20s);
    EXPECT_NE(third, 0u) << "checks did not resume";

    EXPECT_EQ(closeWatchdog(), 0u);
    EXPECT_EQ(readMarker(instanceMarker()), 3);
    // The shutdown sent DIE to both, the attached one too; they end by themselves.
    uint32_t collectorExit = 12345;
    EXPECT_TRUE(collector.wait(10s, collectorExit)) << "attached application got no DIE";
    EXPECT_EQ(collectorExit, 0u);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !processAlive(third); }, 10s));
}

TEST_F(SentinelProgram, DeactivatedByReconfigGetsDieAndIsNotRestarted)
{
    install.writeConfiguration({{"recorder", "Recorder", true, "", true}});
    ASSERT_TRUE(install.start(watchdog));
    const uint32_t pid = probe.waitForProcess("Recorder", 20s);
    ASSERT_NE(pid, 0u);

    install.writeConfiguration({{"recorder", "Recorder", false, "", true}});
    ASSERT_TRUE(sendCommand("RECONFIG"));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !processAlive(pid); }, 15s))
        << "no DIE after deactivation";
    EXPECT_EQ(probe.waitForProcess("Recorder", 8s), 0u) << "a deactivated application was restarted";

    ASSERT_TRUE(sendCommand("DIE"));
    EXPECT_EQ(waitExit(), 0u);
    EXPECT_EQ(readMarker(instanceMarker()), 3);
}

TEST_F(SentinelProgram, MarkersStopTheWatchdog)
{
    struct Case {
        const char* why;
        void (*act)();
    };
    const Case cases[] = {
        {"machine-wide marker deleted", [] { deleteValue("SentinelMarker"); }},
        {"machine-wide marker at 2",
         [] { Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 2); }},
        {"per-instance marker deleted", [] { deleteValue(instanceMarker()); }},
    };
    install.writeConfiguration(
        {{"plain", "Plain", true, "", false}}); // no program: start fails, record dropped
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 1);
        TestSupport::ChildProcess child;
        ASSERT_TRUE(install.start(child));
        ASSERT_TRUE(TestSupport::waitUntil([] { return readMarker(instanceMarker()) == 1; }, 10s));
        c.act();
        uint32_t code = 12345;
        ASSERT_TRUE(child.wait(15s, code)) << "the watchdog did not stop";
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(readMarker(instanceMarker()), 3);
    }
}

TEST_F(SentinelProgram, SecondWatchdogOfTheUserIsRefusedAndLeavesTheMarker)
{
    install.writeConfiguration({{"plain", "Plain", true, "", false}});
    ASSERT_TRUE(install.start(watchdog));
    ASSERT_TRUE(TestSupport::waitUntil([] { return readMarker(instanceMarker()) == 1; }, 10s));

    TestSupport::ChildProcess second;
    ASSERT_TRUE(install.start(second));
    uint32_t code = 0;
    ASSERT_TRUE(second.wait(20s, code));
    EXPECT_EQ(code, kConfigureFailed);
    EXPECT_EQ(readMarker(instanceMarker()), 1) << "the refused watchdog changed the running one's marker";
    EXPECT_TRUE(watchdog.running());

    EXPECT_EQ(closeWatchdog(), 0u);
}

TEST_F(SentinelProgram, FailedConfigurationExitsMinusOneAndTouchesNoMarker)
{
    TestSupport::writeBytes(install.confFile(), "sentinel() = \"\" { monitor() = \"\" {} }\n");
    Vorlix::SystemInfo::setRegNumber(kResources, instanceMarker(), 1);
    ASSERT_TRUE(install.start(watchdog));
    EXPECT_EQ(waitExit(), kConfigureFailed);
    EXPECT_EQ(readMarker(instanceMarker()), 1);

    // A configuration file named on the command line that does not exist fails the same way.
    TestSupport::ChildProcess missing;
    ASSERT_TRUE(install.start(missing, "-c \"" + install.conf() + "none.conf\""));
    uint32_t code = 0;
    ASSERT_TRUE(missing.wait(20s, code));
    EXPECT_EQ(code, kConfigureFailed);
}

TEST_F(SentinelProgram, SystemMessagesStopCleanly)
{
    struct Case {
        UINT message;
        const char* why;
    };
    // The window procedure answers end of session and destruction with a quit message; the main
    // loop then ends on that message without seeing a shutdown message of its own. Wine here runs
    // without a display, so the messages are posted to the main thread directly.
    const Case cases[] = {
        {WM_QUIT, "quit message, as posted by the window procedure"},
        {WM_QUERYENDSESSION, "end of session asked"},
        {WM_ENDSESSION, "end of session"},
    };
    install.writeConfiguration({{"recorder", "Recorder", true, "", true}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TestSupport::ChildProcess child;
        ASSERT_TRUE(install.start(child));
        const uint32_t pid = probe.waitForProcess("Recorder", 20s);
        ASSERT_NE(pid, 0u);
        ASSERT_TRUE(TestSupport::waitUntil(
            [&] { return PostThreadMessageA(child.threadId, c.message, 0, 0) != FALSE; }, 10s));
        uint32_t code = 12345;
        ASSERT_TRUE(child.wait(25s, code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(readMarker(instanceMarker()), 3);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return !processAlive(pid); }, 10s)) << "no DIE at shutdown";
    }
}

} // namespace
