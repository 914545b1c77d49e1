// SentinelTest.cpp - the watchdog object in this process: command line, instance tag, the IPC
// vocabulary, the reply hand-over and the configuration, observed through a recording dispatcher.
//
// Win32-only test code.
#include "VorlixSentinel/Sentinel.h"

#include "RecordingDispatcher.h"
#include "SentinelTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;
using SentinelTesting::AppEntry;
using SentinelTesting::Installation;

namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The watchdog's logging chain delivering into a recording dispatcher, without configure.
class SentinelLogged : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sentinel::quitRequested = false;
        Sentinel::reconfigureRequested = false;
        Sentinel::injectedDispatcher = recorderHandle;
        ASSERT_TRUE(Sentinel::buildLoggingChain());
        Sentinel::logger = Sentinel::moduleLogger;
        recorderHandle->clear();
    }

    void TearDown() override
    {
        Sentinel::logger.reset();
        Sentinel::moduleLogger.destroyNow();
        Sentinel::dispatcher.reset();
        Sentinel::injectedDispatcher.reset();
        Sentinel::quitRequested = false;
        Sentinel::reconfigureRequested = false;
    }

    std::vector<std::string> lines() const { return recorderHandle->lines(); }

    Vorlix::CountedHandle<TestSupport::RecordingDispatcher> recorderHandle{
        new TestSupport::RecordingDispatcher};
};

} // namespace

TEST(Sentinel, ConstructorDropsThePrefixPair)
{
    struct Case {
        const char* commandLine;
        Vorlix::OptionList expected;
        const char* why;
    };
    const Case cases[] = {
        {"", {}, "empty command line"},
        {"-c C:\\v\\sentinel.conf", {{"c", "C:\\v\\sentinel.conf"}}, "option c with a blank"},
        {"-cC:\\v\\sentinel.conf", {{"c", "C:\\v\\sentinel.conf"}}, "option c without a blank"},
        {" -c \"C:\\a b\\s.conf\" extra",
         {{"c", "C:\\a b\\s.conf"}, {"", "extra"}},
         "quoted value and a loose word"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Sentinel sentinel(std::string("dummy") + c.commandLine);
        EXPECT_EQ(Sentinel::options, c.expected);
        EXPECT_EQ(Sentinel::programName, "Sentinel");
    }
}

TEST(Sentinel, InstanceTagFromUserNameOrTime)
{
    EXPECT_EQ(Sentinel::makeInstanceTag("John Smith", 0), "John_Smith");
    EXPECT_EQ(Sentinel::makeInstanceTag(" a  b ", 0), "_a__b_");
    EXPECT_EQ(Sentinel::makeInstanceTag(nullptr, 1211180139), "1211180120");
    EXPECT_EQ(Sentinel::makeInstanceTag(nullptr, 40), "40");

    char user[257] = {};
    DWORD size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    Sentinel sentinel("dummy");
    EXPECT_EQ(Sentinel::instanceTag, Sentinel::makeInstanceTag(user, 0));
}

TEST_F(SentinelLogged, CommandVocabulary)
{
    struct Case {
        const char* type;
        const char* id;
        const char* text;
        std::vector<std::string> expected; // after the "Received message" line
        bool quit;
        bool reconfig;
        const char* why;
    };
    const Case cases[] = {
        {"COMMAND",
         "",
         "DIE",
         {"D3 IPC: Received command \"DIE\".", "D3 Quitting."},
         true,
         false,
         "DIE stops"},
        {"COMMAND",
         "x",
         "RECONFIG",
         {"D3 IPC: Received command \"RECONFIG\"."},
         false,
         true,
         "RECONFIG, no log"},
        {"COMMAND",
         "",
         "STATUS_CHECK",
         {"D3 IPC: Received command \"STATUS_CHECK\".", "D3 IPC: Was checked by peer\\x0D\\x0AD1 forged."},
         false,
         false,
         "STATUS_CHECK names the sender, escaped"},
        {"COMMAND",
         "",
         "die",
         {"D3 IPC: Received command \"die\".", "D1 IPC: Received an unknown command."},
         false,
         false,
         "commands are case-sensitive"},
        {"COMMAND",
         "",
         "RUN_PROG",
         {"D3 IPC: Received command \"RUN_PROG\".", "D1 IPC: Received an unknown command."},
         false,
         false,
         "RUN_PROG alone is unknown"},
        {"COMMAND",
         "",
         "RUN_PROGa|b|c",
         {"D3 IPC: Received command \"RUN_PROGa|b|c\".", "D2 IPC: Received run command: \"a|b|c\".",
          "D1 IPC: Cannot run this."},
         false,
         false,
         "three parts are refused"},
        {"RUN_PROG",
         "",
         "no-separator",
         {"D2 IPC: Received run command: \"no-separator\".", "D1 IPC: Cannot run this."},
         false,
         false,
         "a request without separator is refused"},
        {"REPLY",
         "SEND_PROCESS_INFO",
         "12,34",
         {"D2 IPC: Received reply \"12,34\" with id \"SEND_PROCESS_INFO\".",
          "D2 IPC: Cannot store process info."},
         false,
         false,
         "a reply nobody waits for"},
        {"REPLY",
         "OTHER",
         "1",
         {"D2 IPC: Received reply \"1\" with id \"OTHER\"."},
         false,
         false,
         "other replies"},
        {"NOTICE", "", "x", {"D1 IPC: Received an unknown type."}, false, false, "unknown type"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        recorderHandle->clear();
        Sentinel::quitRequested = false;
        Sentinel::reconfigureRequested = false;
        const std::string sender =
            std::string(c.why).find("sender") != std::string::npos ? "peer\r\nD1 forged" : "peer";
        Sentinel::onMessage(c.type, c.id, c.text, sender);
        std::vector<std::string> expected = {"D2 IPC from " + SentinelPolicy::escapeForLog(sender) +
                                             ": Received message \"" + c.type + "\"."};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(lines(), expected);
        EXPECT_EQ(Sentinel::quitRequested.load(), c.quit);
        EXPECT_EQ(Sentinel::reconfigureRequested.load(), c.reconfig);
    }
}

TEST_F(SentinelLogged, AfterDieEveryMessageIsIgnoredSilently)
{
    Sentinel::onMessage("COMMAND", "", "DIE", "peer");
    recorderHandle->clear();
    Sentinel::onMessage("COMMAND", "", "DIE", "peer");
    Sentinel::onMessage("COMMAND", "", "RECONFIG", "peer");
    EXPECT_TRUE(lines().empty());
    EXPECT_FALSE(Sentinel::reconfigureRequested.load());
}

TEST_F(SentinelLogged, RunProgramFailureIsLoggedWithTheFullText)
{
    recorderHandle->clear();
    Sentinel::onMessage("COMMAND", "", "RUN_PROG|-x", "peer");
    const auto all = lines();
    ASSERT_EQ(all.size(), 4u) << ::testing::PrintToString(all);
    EXPECT_EQ(all[2], "D2 IPC: Received run command: \"|-x\".");
    EXPECT_EQ(all[3].rfind("D1 ", 0), 0u) << all[3];
    EXPECT_FALSE(Sentinel::quitRequested.load());
}

TEST_F(SentinelLogged, RunProgramStartsTheProgram)
{
    TestSupport::TempDir dir;
    const std::string marker = dir.file("ran.txt");
    // The job helper is not the watchdog's child to monitor: it runs on its own and ends.
    const std::string request =
        TestSupport::programPath("ReferenceApp.exe") + "|--id RunProgProbe --lifetime 20";
    Sentinel::onMessage("RUN_PROG", "", request, "peer");
    SentinelTesting::Probe probe;
    const uint32_t pid = probe.waitForProcess("RunProgProbe", 10s);
    EXPECT_NE(pid, 0u) << "the requested program did not start";
    SentinelTesting::killProcess(pid);
    EXPECT_FALSE(contains(lines(), "D1 IPC: Cannot run this."));
}

TEST_F(SentinelLogged, ReplyHandOverTakesOnlyTheAwaitedReply)
{
    MonitoredApplication first;
    first.name = "first";
    Sentinel::infoHandOver.begin(&first);
    Sentinel::onMessage("REPLY", "SEND_PROCESS_INFO", "11,22", "a");
    EXPECT_TRUE(Sentinel::infoHandOver.answered());
    EXPECT_EQ(Sentinel::infoHandOver.finish(), "11,22");

    // A late reply, after the wait ended, reaches no record.
    recorderHandle->clear();
    Sentinel::onMessage("REPLY", "SEND_PROCESS_INFO", "33,44", "a");
    EXPECT_TRUE(contains(lines(), "D2 IPC: Cannot store process info."));

    // A new query starts from an empty reply: the late one cannot land in it.
    MonitoredApplication second;
    Sentinel::infoHandOver.begin(&second);
    EXPECT_FALSE(Sentinel::infoHandOver.answered());
    EXPECT_EQ(Sentinel::infoHandOver.finish(), "");
}

TEST_F(SentinelLogged, CaptureParsesTheProcessInfo)
{
    struct Case {
        const char* info;
        bool captured;
        const char* why;
    };
    const Case cases[] = {
        {"1234", false, "no comma: no thread id"},
        {"0,5", false, "process id 0"},
        {"abc,def", false, "no numbers"},
        {"", false, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        recorderHandle->clear();
        MonitoredApplication app;
        app.name = "agent";
        app.processInfo = c.info;
        EXPECT_EQ(Sentinel::captureApplication(app), c.captured);
        EXPECT_TRUE(contains(lines(), "ERROR 5 [agent|UNKNOWN]")) << ::testing::PrintToString(lines());
        EXPECT_TRUE(app.process.isNull());
    }

    // This very process and thread: attached, and the thread id text stays in processInfo.
    MonitoredApplication self;
    self.name = "self";
    self.processInfo = std::to_string(GetCurrentProcessId()) + "," + std::to_string(GetCurrentThreadId());
    EXPECT_TRUE(Sentinel::captureApplication(self));
    ASSERT_FALSE(self.process.isNull());
    EXPECT_EQ(self.process->getStatus(), Vorlix::JOB_RUNNING);
    EXPECT_EQ(self.processInfo, std::to_string(GetCurrentThreadId()));
}

// configure and reconfigure over a configuration file named by the c option.
class SentinelConfigure : public SentinelLogged {
protected:
    // A watchdog object over the configuration file, logging into a fresh recorder: the shutdown
    // sequence destroys the logging chain, the injected dispatcher with it.
    void newSentinel()
    {
        recorderHandle =
            Vorlix::CountedHandle<TestSupport::RecordingDispatcher>(new TestSupport::RecordingDispatcher);
        Sentinel::injectedDispatcher = recorderHandle;
        sentinel.reset(new Sentinel("dummy -c \"" + install.confFile() + "\""));
    }

    std::vector<std::string> configureWith(const std::string& monitorBody, bool expected)
    {
        const std::string text = "sentinel() = \"\" {\n  log() = \"\" { debug-level(Integer) = 4 {} }\n"
                                 "  monitor() = \"\" {\n" +
                                 monitorBody + "  }\n}\n";
        TestSupport::writeBytes(install.confFile(), text);
        newSentinel();
        EXPECT_EQ(sentinel->configure(), expected);
        return lines();
    }

    void TearDown() override
    {
        sentinel.reset();
        Vorlix::setDebugThreshold(5);
        SentinelLogged::TearDown();
    }

    Installation install;
    std::unique_ptr<Sentinel> sentinel;
};

TEST_F(SentinelConfigure, ReadsTheApplicationTable)
{
    const auto log = configureWith("    a() = \"\" { active(Bool) = true {} id(String) = \"  Alpha \" {} }\n"
                                   "    b() = \"\" { active(Bool) = false {} id(String) = Beta {} }\n"
                                   "    a() = \"\" { active(Bool) = false {} id(String) = Again {} }\n",
                                   true);
    EXPECT_TRUE(contains(log, "D1 Finished configuring.")) << ::testing::PrintToString(log);
    ASSERT_EQ(Sentinel::applications.size(), 2u) << "a listed twice keeps one record";
    const MonitoredApplication& a = Sentinel::applications.front();
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(a.id, "Alpha") << "blanks trimmed, case kept";
    EXPECT_TRUE(a.active);
    EXPECT_EQ(a.lastStart.seconds(), 0);
    EXPECT_EQ(Sentinel::applications.back().id, "Beta");
    EXPECT_EQ(Vorlix::debugThreshold(), 4);
    EXPECT_TRUE(Sentinel::options.empty()) << "the c option serves the first configuration only";
    EXPECT_EQ(Sentinel::debugLogPath, "SentinelDebug(" + SentinelTesting::userTag() + ").log");
    // No version file in the current directory: the version stays 0.
    EXPECT_EQ(Sentinel::productVersion, 0);

    // A later reconfiguration reads the file of ConfigurationDir; records not listed there stay.
    TestSupport::writeBytes(install.confFile(),
                            "log() = \"\" { global() = \"\" { debug-level(Integer) = 5 {} } }\n"
                            "sentinel() = \"\" { monitor() = \"\" {\n"
                            "  c() = \"\" { active(Bool) = true {} id(String) = Gamma {} }\n"
                            "} }\n");
    TestSupport::writeBytes(install.conf() + "version", "5.4");
    Sentinel::reconfigureRequested = true;
    EXPECT_TRUE(Sentinel::reconfigure(false));
    EXPECT_FALSE(Sentinel::reconfigureRequested.load());
    EXPECT_EQ(Sentinel::applications.size(), 3u);
    EXPECT_EQ(Sentinel::productVersion, 54);
    EXPECT_TRUE(contains(lines(), "D1 Finished reconfiguring."));
}

TEST_F(SentinelConfigure, MissingKeysFailWithFatalThree)
{
    struct Case {
        const char* body;
        const char* expected;
        const char* why;
    };
    const Case cases[] = {
        {"", "FATAL 3 [sentinel.monitor]", "no applications"},
        {"    a() = \"\" { id(String) = A {} }\n", "FATAL 3 [sentinel.monitor.a.active]", "active missing"},
        {"    a() = \"\" { active(Bool) = maybe {} id(String) = A {} }\n",
         "FATAL 3 [sentinel.monitor.a.active]", "active not a Bool"},
        {"    a() = \"\" { active(Bool) = true {} }\n", "FATAL 3 [sentinel.monitor.a.id]", "id missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const auto log = configureWith(c.body, false);
        EXPECT_TRUE(contains(log, c.expected)) << ::testing::PrintToString(log);
        EXPECT_FALSE(contains(log, "D1 Finished configuring."));
        sentinel.reset();
    }
}

TEST_F(SentinelConfigure, FailedReconfigurationIsRetried)
{
    configureWith("    a() = \"\" { active(Bool) = true {} id(String) = A {} }\n", true);
    TestSupport::writeBytes(install.confFile(), "sentinel() = \"\" { monitor() = \"\" {} }\n");
    EXPECT_FALSE(Sentinel::reconfigure(false));
    EXPECT_TRUE(Sentinel::reconfigureRequested.load()) << "the next pass tries again";
    EXPECT_EQ(Sentinel::applications.size(), 1u);
}

TEST(SentinelNames, DebugLogNameAndVersion)
{
    EXPECT_EQ(Sentinel::taggedLogName("SentinelDebug.log", "John_Smith"), "SentinelDebug(John_Smith).log");
    EXPECT_EQ(Sentinel::taggedLogName("watch.txt", "t"), "watch(t).txt");
    EXPECT_EQ(Sentinel::taggedLogName("watch", "t"), "watch(t).");
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {{"5.4", 54}, {"5.3\n", 53}, {"  6", 60}, {"", 0},
                          {"abc", 0},  {"5.49", 54},  {"1e99", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Sentinel::parseProductVersion(c.text), c.expected);
    }
}

namespace {

int32_t fakeNow = 0;
int32_t fakeClock()
{
    return fakeNow;
}

constexpr int32_t kStart = 1700000000;
constexpr int32_t kWindow = 10800;

} // namespace

// One status monitor pass over a record with a real process, on an injected clock.
class SentinelMonitorPass : public SentinelConfigure {
protected:
    void SetUp() override
    {
        SentinelConfigure::SetUp();
        install.writeConfiguration({{"plain", "PlainPass", true, "", false}});
        ASSERT_NO_FATAL_FAILURE(configureFile());
        savedClock = Sentinel::clock;
        Sentinel::clock = fakeClock;
    }

    void TearDown() override
    {
        Sentinel::clock = savedClock;
        for (auto& app : Sentinel::applications) {
            if (!app.process.isNull()) {
                app.process->terminate(true, 0, 0);
            }
        }
        Sentinel::markerName.clear(); // this test owns no marker to turn to 3
        SentinelConfigure::TearDown();
    }

    // A configured watchdog whose markers let the passes check.
    void configureFile()
    {
        newSentinel();
        ASSERT_TRUE(sentinel->configure());
        ASSERT_EQ(Sentinel::applications.size(), 1u);
        Sentinel::markerKeyPath = SentinelTesting::kResources;
        Sentinel::markerName = SentinelTesting::instanceMarker();
        Vorlix::SystemInfo::setRegNumber(SentinelTesting::kResources, Sentinel::markerName, 1);
        Vorlix::SystemInfo::setRegNumber(SentinelTesting::kResources, "SentinelMarker", 1);
        recorderHandle->clear();
    }

    // Gives the record a process of the job helper in `mode`; waits until an "exit" one ended.
    void giveProcess(const std::string& mode)
    {
        MonitoredApplication& app = Sentinel::applications.front();
        app.process = Vorlix::CountedHandle<Vorlix::ProcessInstance>(
            new Vorlix::ProcessInstance(TestSupport::programPath("JobHelper.exe"), mode, true, false));
        app.process->execute();
        if (mode.rfind("exit", 0) == 0) {
            ASSERT_TRUE(
                TestSupport::waitUntil([&] { return app.process->getStatus() != Vorlix::JOB_RUNNING; }, 10s));
        }
    }

    int32_t (*savedClock)() = nullptr;
};

TEST_F(SentinelMonitorPass, StoppedApplicationsAreRestartedOrGivenUp)
{
    struct Case {
        bool active;
        int32_t lastStart;
        int32_t restartCount;
        bool kept;
        int32_t countAfter;
        std::vector<std::string> expected;
        const char* why;
    };
    const Case cases[] = {
        {true,
         kStart,
         10,
         true,
         11,
         {"WARNING 7 [plain]", "D2 Attempting to restart application \"plain\"..."},
         "within the window: restarted however often"},
        {true,
         kStart - kWindow - 1,
         3,
         true,
         4,
         {"WARNING 7 [plain]", "D2 Attempting to restart application \"plain\"..."},
         "after the window, counter at the limit: restarted"},
        {true,
         kStart - kWindow - 1,
         4,
         false,
         0,
         {"WARNING 7 [plain]", "ERROR 8 [plain]"},
         "after the window, counter past the limit: given up"},
        {false,
         kStart,
         0,
         false,
         0,
         {"D2 statusMonitor: Application \"plain\" has ended as told."},
         "inactive and ended: neither warned about nor restarted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        if (Sentinel::applications.empty()) {
            sentinel.reset();
            ASSERT_NO_FATAL_FAILURE(configureFile());
        }
        ASSERT_NO_FATAL_FAILURE(giveProcess("exit 0"));
        MonitoredApplication& app = Sentinel::applications.front();
        app.active = c.active;
        app.lastStart = Vorlix::DateTime(c.lastStart);
        app.restartCount = c.restartCount;
        fakeNow = kStart;
        MonitorPassState state;
        state.timers = SentinelPolicy::MonitorTimers::armed(kStart);
        recorderHandle->clear();
        EXPECT_TRUE(Sentinel::monitorPass(state));
        std::vector<std::string> log = lines();
        // The failed start's own messages follow; only the decision is compared.
        log.resize(std::min(log.size(), c.expected.size()));
        EXPECT_EQ(log, c.expected);
        ASSERT_EQ(Sentinel::applications.size(), c.kept ? 1u : 0u);
        if (c.kept) {
            EXPECT_EQ(Sentinel::applications.front().restartCount, c.countAfter);
            const std::vector<std::string> all = lines();
            EXPECT_TRUE(std::any_of(all.begin(), all.end(),
                                    [](const std::string& l) { return l.rfind("ERROR 6 [plain|", 0) == 0; }))
                << "the program is not installed: the restart fails\n"
                << ::testing::PrintToString(all);
        }
    }
}

TEST_F(SentinelMonitorPass, RunningApplications)
{
    ASSERT_NO_FATAL_FAILURE(giveProcess("idle"));
    MonitoredApplication& app = Sentinel::applications.front();
    app.restartCount = 2;
    app.lastStart = Vorlix::DateTime(kStart);

    // Running more than 3 hours after its start: the counter is cleared; a reporting pass names it.
    fakeNow = kStart + kWindow + 1;
    MonitorPassState state;
    state.timers = SentinelPolicy::MonitorTimers::armed(fakeNow - 30);
    EXPECT_TRUE(Sentinel::monitorPass(state));
    EXPECT_EQ(app.restartCount, 0);
    EXPECT_TRUE(contains(lines(), "D5 statusMonitor: Application \"plain\" is running normally."));

    // No longer active: told to end at every check while it runs, never restarted.
    app.active = false;
    for (int check = 1; check <= 2; ++check) {
        SCOPED_TRACE(check);
        recorderHandle->clear();
        fakeNow += 5;
        EXPECT_TRUE(Sentinel::monitorPass(state));
        EXPECT_EQ(lines(),
                  std::vector<std::string>{"D2 Application \"plain\" will be signaled to shut down."});
    }
}

TEST_F(SentinelMonitorPass, InstanceMarkerOtherThanOneSuspendsEveryCheck)
{
    ASSERT_NO_FATAL_FAILURE(giveProcess("exit 0"));
    Vorlix::SystemInfo::setRegNumber(SentinelTesting::kResources, Sentinel::markerName, 0);
    fakeNow = kStart;
    MonitorPassState state;
    // Armed now, as at thread start: the first pass reads the marker before it would check.
    state.timers = SentinelPolicy::MonitorTimers::armed(kStart);
    const std::string paused = "D1 statusMonitor: Was going to check if applications were still running, but "
                               "Registry marker prevented it.";
    EXPECT_TRUE(Sentinel::monitorPass(state));
    EXPECT_EQ(lines(), std::vector<std::string>{paused});

    // Half a second later the marker is not read again, and still nothing is checked.
    recorderHandle->clear();
    EXPECT_TRUE(Sentinel::monitorPass(state));
    fakeNow += 4;
    EXPECT_TRUE(Sentinel::monitorPass(state));
    EXPECT_TRUE(lines().empty()) << ::testing::PrintToString(lines());

    // Back to 1: the next marker reading resumes the checks.
    Vorlix::SystemInfo::setRegNumber(SentinelTesting::kResources, Sentinel::markerName, 1);
    fakeNow += 2;
    EXPECT_TRUE(Sentinel::monitorPass(state));
    EXPECT_TRUE(contains(lines(), "WARNING 7 [plain]")) << ::testing::PrintToString(lines());
}

TEST_F(SentinelMonitorPass, MachineMarkerEndsThePasses)
{
    fakeNow = kStart;
    MonitorPassState state;
    state.timers = SentinelPolicy::MonitorTimers::armed(kStart - 5);
    Vorlix::SystemInfo::setRegNumber(SentinelTesting::kResources, "SentinelMarker", 2);
    EXPECT_FALSE(Sentinel::monitorPass(state));
    Vorlix::SystemInfo::setRegNumber(SentinelTesting::kResources, "SentinelMarker", 1);
    EXPECT_EQ(lines(), std::vector<std::string>{
                           "D1 statusMonitor: Registry marker has shutdown value. Shutting down."});
}

TEST_F(SentinelMonitorPass, StartAndGetApplication)
{
    MonitoredApplication& app = Sentinel::applications.front();
    // Not installed: the start fails and nothing is recorded as started.
    fakeNow = kStart;
    EXPECT_FALSE(Sentinel::startApplication(app, false));
    EXPECT_EQ(app.lastStart.seconds(), 0);

    // Installed: started hidden from the program directory, lastStart from the clock.
    install.writeConfiguration({{"plain", "PlainPass", true, "", true}});
    recorderHandle->clear();
    EXPECT_TRUE(Sentinel::startApplication(app, true));
    EXPECT_EQ(app.lastStart.seconds(), kStart);
    const auto log = lines();
    EXPECT_TRUE(contains(log, "D2 Attempting to restart application \"plain\"..."));
    EXPECT_TRUE(contains(log, "D2    Successfully restarted application."));
    ASSERT_FALSE(app.process.isNull());
    EXPECT_EQ(app.process->getStatus(), Vorlix::JOB_RUNNING);
    EXPECT_NE(std::string(app.process->getCommandLine()).find(install.bin() + "plain.exe"),
              std::string::npos);

    // It answers the query now: getApplication attaches to it instead of starting another.
    MonitoredApplication again;
    again.name = "plain";
    again.id = "PlainPass";
    again.active = true;
    SentinelTesting::Probe probe;
    ASSERT_NE(probe.waitForProcess("PlainPass", 10s), 0u);
    // The answer goes to the watchdog's own server, which hands it to the waiting query.
    Vorlix::IPCServer server("Sentinel_" + Sentinel::instanceTag, Sentinel::dispatcher, &Sentinel::onMessage);
    ASSERT_TRUE(TestSupport::waitUntil(
        [] {
            return Vorlix::IPCClient("Sentinel_" + Sentinel::instanceTag).send("REPLY", "PING", "", "test");
        },
        10s));
    Sleep(1200); // one listener poll, so the ping is taken before the query starts
    recorderHandle->clear();
    const bool attached = Sentinel::getApplication(again);
    server.stop();
    if (!again.process.isNull() && again.process->getProcessId() != app.process->getProcessId()) {
        again.process->terminate(true, 0, 0);
    }
    EXPECT_TRUE(attached);
    EXPECT_TRUE(contains(lines(), "D3    Captured running application."))
        << ::testing::PrintToString(lines());
    EXPECT_EQ(again.lastStart.seconds(), 0) << "attaching is no start";
    ASSERT_FALSE(again.process.isNull());
    EXPECT_EQ(again.process->getProcessId(), app.process->getProcessId());

    // Inactive and not running: neither started nor signalled.
    MonitoredApplication idle;
    idle.name = "idle";
    idle.id = "NobodyListens";
    recorderHandle->clear();
    EXPECT_FALSE(Sentinel::getApplication(idle));
    EXPECT_TRUE(contains(lines(), "D2 Application \"idle\" is not to be activated."));
    EXPECT_TRUE(idle.process.isNull());
}

TEST_F(SentinelConfigure, DebugLevelKey)
{
    struct Case {
        const char* value;
        int32_t expected;
        const char* why;
    };
    const Case cases[] = {
        {"0", 0, "0 silences every debug text"}, {"9", 5, "out of range: unchanged"}, {"3", 3, "in range"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        // The logging keys come first: the global level 5, then the watchdog's own level.
        const std::string text =
            std::string("log() = \"\" { global() = \"\" { debug-level(Integer) = 5 {} } }\n") +
            "sentinel() = \"\" {\n  log() = \"\" { debug-level(Integer) = " + c.value +
            " {} }\n  monitor() = \"\" { a() = \"\" { active(Bool) = true {} id(String) = A {} } }\n}\n";
        TestSupport::writeBytes(install.confFile(), text);
        newSentinel();
        EXPECT_TRUE(sentinel->configure());
        EXPECT_EQ(Vorlix::debugThreshold(), c.expected);
        sentinel.reset();
    }
}

TEST_F(SentinelLogged, LateReplyOfOneApplicationDoesNotAnswerTheNextQuery)
{
    MonitoredApplication first;
    first.name = "first";
    first.id = "First";
    MonitoredApplication second;
    second.name = "second";
    second.id = "Second";
    // The first application does not answer within the wait.
    Sentinel::infoHandOver.begin(&first, "First_" + Sentinel::instanceTag);
    EXPECT_EQ(Sentinel::infoHandOver.finish(), "");
    // Its answer arrives while the second one is asked, sent from its own server's name.
    Sentinel::infoHandOver.begin(&second, "Second_" + Sentinel::instanceTag);
    Sentinel::onMessage("REPLY", "SEND_PROCESS_INFO", "111,222", "First_" + Sentinel::instanceTag);
    EXPECT_FALSE(Sentinel::infoHandOver.answered()) << "the first one's process counts as the second one";
    // The second one's own answer is taken.
    Sentinel::onMessage("REPLY", "SEND_PROCESS_INFO", "333,444", "Second_" + Sentinel::instanceTag);
    EXPECT_EQ(Sentinel::infoHandOver.finish(), "333,444");
}

namespace {

void ignoreEveryMessage(const std::string&, const std::string&, const std::string&, const std::string&) {}

} // namespace

TEST_F(SentinelMonitorPass, StopDuringTheReplyWaitStartsNoProgram)
{
    install.writeConfiguration({{"plain", "PlainPass", true, "", true}});
    // A peer that takes the query but never answers: the wait runs until the stop.
    Vorlix::IPCServer silent("SilentPeer_" + Sentinel::instanceTag,
                             Vorlix::CountedHandle<Vorlix::LogDispatcher>(), &ignoreEveryMessage);
    // The listener makes its mailslot on its own thread: wait until a query can reach it.
    ASSERT_TRUE(TestSupport::waitUntil(
        [] {
            return Vorlix::IPCClient("SilentPeer_" + Sentinel::instanceTag).send("COMMAND", "", "ping", "");
        },
        std::chrono::seconds(5)));
    MonitoredApplication app;
    app.name = "plain";
    app.id = "SilentPeer";
    app.active = true;
    std::thread stopper([] {
        Sleep(500);
        Sentinel::quitRequested = true;
    });
    const bool got = Sentinel::getApplication(app);
    stopper.join();
    silent.stop();
    const bool started = !app.process.isNull() && app.process->getStatus() == Vorlix::JOB_RUNNING;
    if (!app.process.isNull()) {
        app.process->terminate(true, 0, 0);
    }
    EXPECT_FALSE(started) << "a stopping watchdog started a program: " << ::testing::PrintToString(lines());
    EXPECT_FALSE(got);
}
