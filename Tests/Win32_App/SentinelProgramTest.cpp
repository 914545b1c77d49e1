// SentinelProgramTest.cpp - the watchdog program end to end under Wine: a real installation tree,
// real registry markers, copies of the reference application as monitored applications, and
// exit codes.
//
// Win32-only test code.
#include "MailSlotListener.h"
#include "SentinelTestSupport.h"

#include "IPC/IPCMessage.h"
#include "Logger/LogRecord.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace std::chrono_literals;
using namespace SentinelTesting;

namespace {

constexpr uint32_t kConfigureFailed = 0xFFFFFFFFu; // exit code -1

std::vector<std::string> logLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(TestSupport::readBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// The index of the first line at or after `from` that holds `text`, or -1.
long findLine(const std::vector<std::string>& lines, const std::string& text, size_t from = 0)
{
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

size_t countLines(const std::vector<std::string>& lines, const std::string& text)
{
    size_t count = 0;
    for (const std::string& line : lines) {
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

class SentinelProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        watchdog.kill();
        for (const char* id : {"Recorder", "Collector", "Analyser", "Quitter", "Launched"}) {
            // A loaded machine answers late: an application left running would answer the next test.
            if (const uint32_t pid = probe.processId(id, 1500ms)) {
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

    // Polls the debug log until a line holds `text`.
    bool waitForLog(const std::string& text, std::chrono::milliseconds deadline = 20s)
    {
        return TestSupport::waitUntil([&] { return findLine(logLines(install.debugLog()), text) >= 0; },
                                      deadline);
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
    EXPECT_TRUE(waitForLog("Another watchdog of this user is already running (guard \"Sentinel" + userTag() +
                           "\"); this one stops."));
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

namespace {

TEST_F(SentinelProgram, LogsItsWorkAndForwardsCataloguedRecordsToTheCoreService)
{
    const std::string listened = install.dir.path + "\\core.txt";
    TestSupport::Listener core;
    ASSERT_TRUE(core.start("Vorlix_Core 0 90", listened));
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return TestSupport::readBytes(listened).find("listening on") != std::string::npos; }, 20s));

    install.writeConfiguration({{"recorder", "Recorder", true, "", true}});
    ASSERT_TRUE(install.start(watchdog));
    const uint32_t first = probe.waitForProcess("Recorder", 20s);
    ASSERT_NE(first, 0u);
    killProcess(first);
    ASSERT_NE(probe.waitForProcess("Recorder", 15s, first), 0u);
    ASSERT_TRUE(waitForLog("Successfully restarted application."));
    EXPECT_EQ(closeWatchdog(), 0u);

    const auto lines = logLines(install.debugLog());
    const std::string all = ::testing::PrintToString(lines);
    // Catalogues from the installation, texts filled in, every debug text with its thread.
    EXPECT_GE(findLine(lines, "Loaded 10 messages for module \"sentinel\"."), 0) << all;
    EXPECT_GE(findLine(lines, "Loaded 4 messages for module \"configuration\"."), 0) << all;
    EXPECT_GE(findLine(lines, std::to_string(watchdog.threadId) + ": Finished configuring."), 0) << all;
    EXPECT_GE(findLine(lines, "Sentinel started."), 0) << all;
    EXPECT_GE(findLine(lines, "Application \"recorder\" has stopped; it is started again."), 0) << all;
    EXPECT_EQ(findLine(lines, "(Message not found.)"), -1) << all;
    // The monitor has left its loop before the applications are told to end.
    const long threadEnd = findLine(lines, ": END THREAD statusMonitor.");
    const long terminating = findLine(lines, "   Terminating applications...");
    ASSERT_GE(threadEnd, 0) << all;
    EXPECT_LT(threadEnd, terminating) << all;

    // Catalogued records, and only those, reached the core service.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return TestSupport::printedDatagrams(TestSupport::readBytes(listened)).size() >= 2; }, 10s));
    std::vector<std::string> seen;
    for (const std::string& datagram : TestSupport::printedDatagrams(TestSupport::readBytes(listened))) {
        const Vorlix::IPCFields fields = Vorlix::cutMessage(datagram);
        EXPECT_EQ(fields.type, "LOGMSG");
        Vorlix::LogRecord record;
        ASSERT_TRUE(Vorlix::parseRecord(fields.text, record)) << fields.text;
        EXPECT_EQ(record.kind, Vorlix::RECORD_CATALOGUED);
        EXPECT_EQ(record.application, 20);
        EXPECT_EQ(record.module, 23);
        seen.push_back(std::to_string(record.severity) + "/" + std::to_string(record.messageNumber) + " " +
                       record.text);
    }
    const std::string notice = "0/1 ";
    const std::string stopped = "1/7 srecorder\x1A";
    EXPECT_NE(std::find(seen.begin(), seen.end(), notice), seen.end()) << ::testing::PrintToString(seen);
    EXPECT_NE(std::find(seen.begin(), seen.end(), stopped), seen.end()) << ::testing::PrintToString(seen);
}

TEST_F(SentinelProgram, ProgramThatEndsAtOnceIsNeverTakenForRunning)
{
    install.writeConfiguration({{"quitter", "Quitter", true, "exit-now=1\n", true}});
    ASSERT_TRUE(install.start(watchdog));
    // Ended before the status query: "WONT START" and the record is dropped. Ended just after it:
    // found stopped at the next check and started again, every check.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            const auto lines = logLines(install.debugLog());
            return findLine(lines, "\"quitter\": WONT START") >= 0 ||
                   countLines(lines, "Application \"quitter\" has stopped; it is started again.") >= 2;
        },
        30s))
        << ::testing::PrintToString(logLines(install.debugLog()));
    EXPECT_TRUE(watchdog.running());
    EXPECT_EQ(findLine(logLines(install.debugLog()), "is running normally"), -1);
    ASSERT_TRUE(sendCommand("DIE"));
    EXPECT_EQ(waitExit(), 0u);
}

TEST_F(SentinelProgram, CommandVocabularyAndMalformedForms)
{
    install.writeConfiguration({{"recorder", "Recorder", true, "", true}});
    ASSERT_TRUE(install.start(watchdog));
    ASSERT_NE(probe.waitForProcess("Recorder", 20s), 0u);

    const std::string helper = TestSupport::programPath("ReferenceApp.exe");
    struct Case {
        const char* type;
        std::string text;
        const char* id;
        const char* sender;
        std::string logged;
    };
    const Case cases[] = {
        {"COMMAND", "STATUS_CHECK", "", "Checker", "IPC: Was checked by Checker."},
        {"COMMAND", "FLY", "", "SentinelTest", "IPC: Received an unknown command."},
        {"PING", "", "", "SentinelTest", "IPC: Received an unknown type."},
        {"COMMAND", "RUN_PROGnothing-to-split", "", "SentinelTest", "IPC: Cannot run this."},
        {"RUN_PROG", "a|b|c", "", "SentinelTest", "IPC: Cannot run this."},
        {"RUN_PROG", "Z:\\no\\such.exe|-x", "", "SentinelTest", "Win32 error code is : "},
        {"COMMAND", "RUN_PROG" + helper + "| --id Launched --lifetime 20", "", "SentinelTest",
         "IPC: Received run command"},
        // A reply nobody waits for is dropped.
        {"REPLY", "1,2", "SEND_PROCESS_INFO", "Stranger", "IPC: Cannot store process info."},
        // Line breaks from a peer cannot forge a line of their own.
        {"COMMAND", "STATUS_CHECK", "", "evil\r\nFATAL forged",
         "IPC: Was checked by evil\\x0D\\x0AFATAL forged."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        Vorlix::IPCClient client("Sentinel_" + userTag());
        ASSERT_TRUE(client.send(c.type, c.id, c.text, c.sender));
        EXPECT_TRUE(waitForLog(c.logged)) << ::testing::PrintToString(logLines(install.debugLog()));
    }
    for (const std::string& line : logLines(install.debugLog())) {
        EXPECT_NE(line.rfind("FATAL forged", 0), 0u) << "a forged line";
    }
    const uint32_t launched = probe.waitForProcess("Launched", 15s);
    EXPECT_NE(launched, 0u) << "RUN_PROG did not start the program";
    if (launched != 0) {
        killProcess(launched);
    }

    ASSERT_TRUE(sendCommand("RECONFIG"));
    EXPECT_TRUE(waitForLog("Finished reconfiguring."));
    ASSERT_TRUE(sendCommand("DIE"));
    EXPECT_EQ(waitExit(), 0u);
    EXPECT_GE(findLine(logLines(install.debugLog()), "Quitting."), 0);
}

} // namespace

namespace {

TEST_F(SentinelProgram, StartedWhileSuspendedStartsNothingUntilResumed)
{
    install.writeConfiguration({{"recorder", "Recorder", true, "", true}});
    Vorlix::SystemInfo::setRegNumber(kResources, instanceMarker(), 0);
    ASSERT_TRUE(install.start(watchdog));
    ASSERT_TRUE(waitForLog("but Registry marker prevented it."));
    Sleep(2000);
    EXPECT_EQ(findLine(logLines(install.debugLog()), "Attempting to start application \"recorder\""), -1)
        << "started although the checks were suspended";
    EXPECT_EQ(readMarker(instanceMarker()), 0) << "the start turns only a 3 into 1";

    Vorlix::SystemInfo::setRegNumber(kResources, instanceMarker(), 1);
    EXPECT_NE(probe.waitForProcess("Recorder", 20s), 0u);
    EXPECT_EQ(closeWatchdog(), 0u);
}

} // namespace
