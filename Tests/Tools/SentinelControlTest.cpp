// SentinelControlTest.cpp - SentinelControl.exe run with exact command lines against a real
// watchdog, its applications, the registry markers, a mailslot the test owns and prepared debug
// logs: what the tool sent, what it printed and its exit code.
//
// Win32-only test code.
#include "CapturedRun.h"
#include "Foundation/StringUtils.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"
#include "Logger/LogRecord.h"
#include "SentinelControl/ControlText.h"
#include "SentinelTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace std::chrono_literals;
using namespace SentinelTesting;
using SentinelControl::lastLines;
using TestSupport::CapturedRun;

namespace {

const char* const kRecorderKey = "SOFTWARE\\Vorlix\\Resources\\Recorder";

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

void appendBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << bytes;
}

class ControlTool : public ::testing::Test {
protected:
    void TearDown() override
    {
        watchdog.kill();
        for (const char* id : {"Recorder", "Launched"}) {
            if (const uint32_t pid = probe.processId(id, 300ms)) {
                killProcess(pid);
            }
        }
        // mute never tells its process id, but it ends on DIE like every application.
        Vorlix::IPCClient("Mute_" + userTag()).send("COMMAND", "", "DIE", "");
        Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 1);
        deleteValue("StartupLogDir");
        deleteValue("SentinelDebugLog");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRecorderKey);
    }

    CapturedRun control(const std::string& arguments, std::chrono::milliseconds deadline = 40s)
    {
        CapturedRun run = TestSupport::runCaptured(
            install.dir.path, "\"" + TestSupport::programPath("SentinelControl.exe") + "\" " + arguments,
            deadline);
        run.output = TestSupport::CapturedChild::withoutCarriageReturns(run.output);
        run.errors = TestSupport::CapturedChild::withoutCarriageReturns(run.errors);
        return run;
    }

    // The tool started in the background, for the commands that run until a limit.
    bool startControl(TestSupport::CapturedChild& child, const std::string& arguments)
    {
        return child.start(install.dir.path,
                           "\"" + TestSupport::programPath("SentinelControl.exe") + "\" " + arguments);
    }

    uint32_t waitExit(std::chrono::milliseconds deadline = 25s)
    {
        uint32_t code = 12345;
        EXPECT_TRUE(watchdog.wait(deadline, code)) << "watchdog did not stop";
        return code;
    }

    Installation install;
    TestSupport::ChildProcess watchdog;
    Probe probe{"ControlProbe"};
};

TEST_F(ControlTool, SendsTheSuitesMessagesToTheTaggedMailslot)
{
    // The test owns the mailslot of a made-up tag: every field the tool sent can be read back.
    Vorlix::MailSlot slot(Vorlix::IPC_RECEIVER, "Sentinel_ControlFake");
    struct Case {
        std::string arguments;
        std::string type;
        std::string text;
    };
    const Case cases[] = {
        {"die", "COMMAND", "DIE"},
        {"reconfig", "COMMAND", "RECONFIG"},
        {"status-check", "COMMAND", "STATUS_CHECK"},
        {"run \"C:\\a dir\\p.exe\" -x \"b c\"", "RUN_PROG", "C:\\a dir\\p.exe|-x \"b c\""},
        {"run C:\\p.exe", "RUN_PROG", "C:\\p.exe| "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CapturedRun run = control("--tag ControlFake " + c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << run.errors;
        EXPECT_TRUE(contains(run.output, "sent " + c.type)) << run.output;
        std::list<std::string> received;
        TestSupport::waitUntil(
            [&] {
                slot.receive(received);
                return !received.empty();
            },
            5s);
        ASSERT_EQ(received.size(), 1u);
        const Vorlix::IPCFields fields = Vorlix::cutMessage(received.front());
        EXPECT_EQ(received.front(), Vorlix::buildMessage(c.type, "", c.text, "SentinelControl"));
        EXPECT_EQ(fields.text, c.text);
    }
    // A request the watchdog would refuse is not sent at all.
    const CapturedRun refused = control("--tag ControlFake run \"a|b.exe\"");
    EXPECT_EQ(refused.exitCode, 2u);
    std::list<std::string> received;
    slot.receive(received);
    EXPECT_TRUE(received.empty());
}

TEST_F(ControlTool, WithoutAWatchdogCommandsAndStatusSayItDoesNotRun)
{
    install.writeConfiguration({{"recorder", "Recorder", true, "", false}});
    for (const char* command : {"die", "reconfig", "status-check", "run C:\\p.exe"}) {
        SCOPED_TRACE(command);
        const CapturedRun run = control(command);
        EXPECT_EQ(run.exitCode, 3u);
        EXPECT_TRUE(
            contains(run.errors, "no watchdog listens on the mailslot \"Sentinel_" + userTag() + "\""))
            << run.errors;
    }
    const CapturedRun status = control("status --wait 300");
    EXPECT_EQ(status.exitCode, 3u);
    EXPECT_TRUE(contains(status.output, "not running (no guard \"Sentinel" + userTag() + "\")"))
        << status.output;
    EXPECT_TRUE(contains(status.output, "recorder")) << "the configuration is still shown";

    const CapturedRun usage = control("frobnicate");
    EXPECT_EQ(usage.exitCode, 2u);
    EXPECT_TRUE(contains(usage.errors, "unknown command \"frobnicate\"")) << usage.errors;
    const CapturedRun help = control("--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_TRUE(contains(help.output, "Exit codes:"));
}

TEST_F(ControlTool, DrivesARunningWatchdog)
{
    // recorder answers; mute runs but never answers; plain has no program at all.
    install.writeConfiguration({{"recorder", "Recorder", true, "", true},
                                {"mute", "Mute", true, "silent=1\n", true},
                                {"plain", "Plain", true, "", false}});
    // The records the watchdog forwards to the core service: its start notice and the failed
    // start of plain, in either order.
    TestSupport::CapturedChild listener;
    ASSERT_TRUE(startControl(listener, "listen --count 2 --seconds 40"));
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return contains(listener.outputLines(), "listening on"); }, 15s));
    ASSERT_TRUE(install.start(watchdog));
    const uint32_t recorder = probe.waitForProcess("Recorder", 20s);
    ASSERT_NE(recorder, 0u);
    ASSERT_TRUE(TestSupport::waitUntil(
        [] { return Vorlix::IPCClient("Mute_" + userTag()).send("COMMAND", "", "STATUS_CHECK", ""); }, 20s))
        << "mute was not started";

    const CapturedRun status = control("status");
    EXPECT_EQ(status.exitCode, 4u) << "an active application did not answer\n" << status.output;
    EXPECT_TRUE(contains(status.output, "running (guard \"Sentinel" + userTag() + "\" held)"))
        << status.output;
    EXPECT_TRUE(contains(status.output, "SentinelMarker:" + userTag() + "  1 ")) << status.output;
    const std::string tag = userTag();
    EXPECT_TRUE(contains(status.output, "Recorder_" + tag + "  yes  ")) << status.output;
    EXPECT_TRUE(contains(status.output, "  " + std::to_string(recorder) + "  ")) << status.output;
    EXPECT_TRUE(contains(status.output, "Mute_" + tag + "      no answer")) << status.output;
    EXPECT_TRUE(contains(status.output, "Plain_" + tag + "     no server")) << status.output;

    // Checks paused and resumed through the per-instance marker.
    EXPECT_EQ(control("pause").exitCode, 0u);
    EXPECT_EQ(readMarker(instanceMarker()), 0);
    const CapturedRun paused = control("markers");
    EXPECT_TRUE(contains(paused.output, instanceMarker() + "  0  ")) << paused.output;
    EXPECT_TRUE(contains(paused.output, "application checks suspended")) << paused.output;
    EXPECT_EQ(control("resume").exitCode, 0u);
    EXPECT_EQ(readMarker(instanceMarker()), 1);

    // Another tag's watchdog does not run; this one is not touched.
    EXPECT_EQ(control("--tag SomeoneElse die").exitCode, 3u);
    const CapturedRun other = control("--tag SomeoneElse status --wait 300");
    EXPECT_EQ(other.exitCode, 3u);
    EXPECT_TRUE(contains(other.output, "\"Sentinel_SomeoneElse\": not running")) << other.output;

    // The liveness check is only logged: the debug log, read with tail, shows it arrived.
    EXPECT_EQ(control("status-check").exitCode, 0u);
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return contains(control("tail -n 500").output, "IPC: Was checked by SentinelControl."); }, 10s,
        300ms))
        << control("tail -n 20").output;

    // RUN_PROG: the watchdog starts the program as this user; it answers under its own name.
    const CapturedRun launched =
        control("run \"" + TestSupport::programPath("ReferenceApp.exe") + "\" --id Launched --lifetime 30");
    EXPECT_EQ(launched.exitCode, 0u) << launched.errors;
    EXPECT_NE(probe.waitForProcess("Launched", 15s), 0u) << "the watchdog did not run the program";
    EXPECT_TRUE(watchdog.running()) << "the other tag's DIE reached this watchdog";

    // RECONFIG: the re-read configuration deactivates recorder, which is told to end.
    install.writeConfiguration(
        {{"recorder", "Recorder", false, "", true}, {"mute", "Mute", true, "silent=1\n", true}});
    EXPECT_EQ(control("reconfig").exitCode, 0u);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !processAlive(recorder); }, 20s))
        << "no DIE after reconfig";

    uint32_t listened = 12345;
    ASSERT_TRUE(listener.wait(40s, listened));
    EXPECT_EQ(listened, 0u);
    const std::string records = listener.outputLines();
    EXPECT_TRUE(contains(records, "Sentinel: NOTICE   ")) << records;
    EXPECT_TRUE(contains(records, "(20.23.01) Sentinel started.")) << records;
    EXPECT_TRUE(contains(records, "(20.23.06) Cannot start application \"plain\"")) << records;

    const CapturedRun die = control("die");
    EXPECT_EQ(die.exitCode, 0u) << die.errors;
    EXPECT_EQ(waitExit(), 0u);
    EXPECT_EQ(readMarker(instanceMarker()), 3);
    EXPECT_EQ(control("die").exitCode, 3u) << "nobody listens any more";
    const CapturedRun after = control("status --wait 300");
    EXPECT_EQ(after.exitCode, 3u);
    EXPECT_TRUE(contains(after.output, instanceMarker() + "  3  ")) << after.output;
}

TEST_F(ControlTool, StatusTakesAnAnswerWhateverSenderItNames)
{
    // The watchdog attaches to whatever an application answers, whatever sender the reply names
    // (its own server name in another case, without the tag, or none at all); status must see
    // the same answer. The test plays the application on a mailslot of its own.
    install.writeConfiguration({{"echo", "Echo", true, "", false}});
    const std::string server = "Echo_" + userTag();
    Vorlix::MailSlot slot(Vorlix::IPC_RECEIVER, server);
    for (const std::string& sender : {std::string(""), Vorlix::lowerCopy(server), std::string("Echo")}) {
        SCOPED_TRACE("reply sender \"" + sender + "\"");
        TestSupport::CapturedChild status;
        ASSERT_TRUE(startControl(status, "status --wait 5000"));
        std::list<std::string> received;
        ASSERT_TRUE(TestSupport::waitUntil(
            [&] {
                slot.receive(received);
                return !received.empty();
            },
            15s))
            << "no query arrived";
        const Vorlix::IPCFields query = Vorlix::cutMessage(received.front());
        EXPECT_EQ(query.type, "COMMAND");
        EXPECT_EQ(query.id, "SEND_PROCESS_INFO");
        EXPECT_EQ(query.text, "SEND_PROCESS_INFO");
        ASSERT_TRUE(Vorlix::IPCClient(query.sender).send("REPLY", "SEND_PROCESS_INFO", "4242,4343", sender));
        uint32_t code = 12345;
        ASSERT_TRUE(status.wait(20s, code));
        EXPECT_EQ(code, 3u) << "no watchdog runs, the answer is seen all the same";
        const std::string output = status.outputLines();
        const size_t row = output.find("\necho ");
        ASSERT_NE(row, std::string::npos) << output;
        const std::string line = output.substr(row + 1, output.find('\n', row + 1) - row - 1);
        const size_t cell = line.find_first_not_of(' ', line.find(server) + server.size());
        EXPECT_EQ(line.compare(cell, 4, "yes "), 0) << line;
        EXPECT_TRUE(contains(line, "  4242  ")) << line;
    }
}

TEST_F(ControlTool, StopMarkerEndsTheWatchdogAndClearStopAllowsItAgain)
{
    install.writeConfiguration({{"plain", "Plain", true, "", false}});
    ASSERT_TRUE(install.start(watchdog));
    ASSERT_TRUE(TestSupport::waitUntil([] { return readMarker(instanceMarker()) == 1; }, 10s));

    const CapturedRun stop = control("stop");
    EXPECT_EQ(stop.exitCode, 0u) << stop.errors;
    EXPECT_EQ(readMarker("SentinelMarker"), 2);
    EXPECT_EQ(waitExit(15s), 0u);

    EXPECT_EQ(control("clear-stop").exitCode, 0u);
    EXPECT_EQ(readMarker("SentinelMarker"), 1);
}

TEST_F(ControlTool, MarkerKeyFollowsTheVersionFileOrTheOption)
{
    TestSupport::writeBytes(install.conf() + "version", "5.4\n");
    EXPECT_EQ(control("pause").exitCode, 0u);
    int32_t value = -1;
    EXPECT_EQ(Vorlix::SystemInfo::getRegNumber(kRecorderKey, instanceMarker(), value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(readMarker(instanceMarker()), -999) << "5.4 keeps the markers out of the plain key";
    EXPECT_TRUE(
        contains(control("markers").output, std::string("HKEY_LOCAL_MACHINE\\") + kRecorderKey + ":"));

    TestSupport::writeBytes(install.conf() + "version", "5.3\n");
    EXPECT_EQ(control("--marker-key SOFTWARE\\Vorlix\\Resources\\Recorder resume").exitCode, 0u);
    EXPECT_EQ(Vorlix::SystemInfo::getRegNumber(kRecorderKey, instanceMarker(), value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(control("stop --marker-key SOFTWARE\\Vorlix\\Resources\\Recorder").exitCode, 0u);
    EXPECT_EQ(Vorlix::SystemInfo::getRegNumber(kRecorderKey, "SentinelMarker", value), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(readMarker("SentinelMarker"), 1) << "the plain key's stop marker is untouched";
}

TEST_F(ControlTool, ListenPrintsForwardedRecords)
{
    install.writeConfiguration({{"plain", "Plain", true, "", false}});
    CreateDirectoryA((install.conf() + "LogMessages").c_str(), nullptr);
    TestSupport::writeBytes(install.conf() + "LogMessages\\sentinel.mess",
                            "7: Application \"%s\" stopped.\n");

    TestSupport::CapturedChild listener;
    ASSERT_TRUE(startControl(listener, "listen --count 2 --seconds 30"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return contains(listener.outputLines(), "listening on"); }, 15s))
        << listener.errorLines();

    Vorlix::LogRecord warning;
    warning.kind = Vorlix::RECORD_CATALOGUED;
    warning.application = 20;
    warning.module = 23;
    warning.time = Vorlix::currentTime();
    warning.severity = Vorlix::SEV_WARNING;
    warning.messageNumber = 7;
    warning.text = "srecorder\x1A";
    Vorlix::LogRecord debug;
    debug.application = 20;
    debug.module = 6;
    debug.time = Vorlix::currentTime();
    debug.debugLevel = 2;
    debug.text = "IPC: hello";
    Vorlix::IPCClient core("Vorlix_Core");
    ASSERT_TRUE(core.send("COMMAND", "", "DIE", "")) << "not a LOGMSG: shown as ignored, not counted";
    ASSERT_TRUE(core.send("LOGMSG", "", Vorlix::serialiseRecord(warning), ""));
    ASSERT_TRUE(core.send("LOGMSG", "", Vorlix::serialiseRecord(debug), ""));

    uint32_t code = 12345;
    ASSERT_TRUE(listener.wait(20s, code));
    EXPECT_EQ(code, 0u);
    const std::vector<std::string> lines = lastLines(listener.outputLines(), 3);
    ASSERT_EQ(lines.size(), 3u) << listener.outputLines();
    EXPECT_EQ(lines[1].rfind("Sentinel: WARNING  ", 0), 0u) << lines[1];
    EXPECT_TRUE(contains(lines[1], "(20.23.07) Application \"recorder\" stopped.")) << lines[1];
    EXPECT_EQ(lines[2].rfind("Sentinel: debug-2  ", 0), 0u) << lines[2];
    EXPECT_TRUE(contains(lines[2], "(20.06)    IPC: hello")) << lines[2];
    EXPECT_TRUE(contains(listener.errorLines(), "ignored message: Vorlix<1B>COMMAND"))
        << listener.errorLines();
}

TEST_F(ControlTool, ListenLimitsAndATakenMailslot)
{
    EXPECT_EQ(control("listen --count 1 --seconds 1").exitCode, 5u) << "the count was not reached in time";
    EXPECT_EQ(control("listen --seconds 1").exitCode, 0u);

    Vorlix::MailSlot core(Vorlix::IPC_RECEIVER, "Vorlix_Core");
    const CapturedRun taken = control("listen --seconds 1");
    EXPECT_EQ(taken.exitCode, 1u);
    EXPECT_TRUE(contains(taken.errors, "cannot own the mailslot \"Vorlix_Core\"")) << taken.errors;
}

TEST_F(ControlTool, TailFindsTheDebugLogAndFollowsIt)
{
    TestSupport::TempDir logs;
    std::string lines;
    for (int i = 1; i <= 15; ++i) {
        lines += "line " + std::to_string(i) + "\r\n";
    }
    const std::string tagged = logs.file("SentinelDebug(" + userTag() + ").log");
    TestSupport::writeBytes(tagged, lines);
    TestSupport::writeBytes(logs.file("watch(" + userTag() + ").txt"), "watch 1\nwatch 2\n");
    TestSupport::writeBytes(logs.file("SentinelDebug(Other).log"), "other\n");

    deleteValue("StartupLogDir");
    EXPECT_EQ(control("tail").exitCode, 1u) << "no StartupLogDir, no log";
    ASSERT_EQ(Vorlix::SystemInfo::setRegString(kResources, "StartupLogDir", logs.path), 0);

    const CapturedRun three = control("tail -n 3");
    EXPECT_EQ(three.exitCode, 0u) << three.errors;
    EXPECT_EQ(three.output, "line 13\nline 14\nline 15\n");
    EXPECT_EQ(control("tail").output.rfind("line 6\n", 0), 0u) << "ten lines by default";
    EXPECT_EQ(control("--tag Other tail").output, "other\n");
    EXPECT_EQ(control("tail -n 1 -f \"" + logs.file("watch(" + userTag() + ").txt") + "\"").output,
              "watch 2\n");

    ASSERT_EQ(Vorlix::SystemInfo::setRegString(kResources, "SentinelDebugLog", "watch.txt"), 0);
    EXPECT_EQ(control("tail -n 5").output, "watch 1\nwatch 2\n") << "the registry's log name, tagged";
    deleteValue("SentinelDebugLog");

    // The configuration's log directory comes first: the log moves there.
    TestSupport::TempDir moved;
    TestSupport::writeBytes(moved.file("SentinelDebug(" + userTag() + ").log"), "moved\n");
    const std::string conf = install.dir.file("logdir.conf");
    TestSupport::writeBytes(conf, "Vorlix() = \"\" {\n  directories() = \"\" {\n    log(DirName) = \"" +
                                      confPath(moved.path) + "\" {}\n  }\n}\n");
    EXPECT_EQ(control("-c \"" + conf + "\" tail").output, "moved\n");

    const CapturedRun missing = control("tail -f \"" + logs.file("none.log") + "\"");
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_TRUE(contains(missing.errors, "none.log")) << missing.errors;

    // --follow prints the lines written after it started, a line only once it is complete, and
    // starts again on a file that was rotated away.
    TestSupport::CapturedChild follower;
    ASSERT_TRUE(startControl(follower, "tail -n 1 --follow --seconds 6"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return follower.outputLines() == "line 15\n"; }, 10s))
        << follower.outputLines();
    appendBytes(tagged, "line 16\r\nline 1");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return contains(follower.outputLines(), "line 16\n"); }, 5s));
    EXPECT_FALSE(contains(follower.outputLines(), "line 1\n")) << "half a line was printed";
    appendBytes(tagged, "7\r\n");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return contains(follower.outputLines(), "line 17\n"); }, 5s));
    TestSupport::writeBytes(tagged, "fresh\r\n");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return contains(follower.outputLines(), "fresh\n"); }, 5s))
        << follower.outputLines();
    uint32_t code = 12345;
    ASSERT_TRUE(follower.wait(10s, code)) << "--seconds did not end it";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(contains(follower.outputLines(), "started again")) << follower.outputLines();
}

TEST_F(ControlTool, TailFollowSeesARotatedLogThatGrewPastTheOldSize)
{
    // A rotation at start-up leaves a short old log; the new one may already be longer at the
    // next poll. Its lines are printed from its start, not from the old file's length on.
    TestSupport::TempDir logs;
    const std::string log = logs.file("SentinelDebug(" + userTag() + ").log");
    TestSupport::writeBytes(log, "old\r\n");
    ASSERT_EQ(Vorlix::SystemInfo::setRegString(kResources, "StartupLogDir", logs.path), 0);

    TestSupport::CapturedChild follower;
    ASSERT_TRUE(startControl(follower, "tail --follow --seconds 5"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return follower.outputLines() == "old\n"; }, 10s))
        << follower.outputLines();
    ASSERT_TRUE(MoveFileA(log.c_str(), logs.file("SentinelDebug_old.log").c_str()));
    TestSupport::writeBytes(log, "continued 1\r\ncontinued 2\r\n");
    uint32_t code = 12345;
    ASSERT_TRUE(follower.wait(15s, code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(contains(follower.outputLines(), "\ncontinued 1\ncontinued 2\n")) << follower.outputLines();
}

} // namespace
