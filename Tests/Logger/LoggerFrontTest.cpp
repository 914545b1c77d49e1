// LoggerFrontTest.cpp - logger units, the dispatcher, the file and forwarding messengers, and
// setupLogger from the registry and the configuration.
//
// Win32-only test code: real log files, the product registry key and the machine-wide mailslot
// "Vorlix_Core" (a listener tool owns it during the forwarding test).
#include "Logger/LogMessengerIPC.h"
#include "Logger/LoggerSetup.h"
#include "Logger/LoggerUnit.h"

#include "Config/ConfReader.h"
#include "File/FileOps.h"
#include "Foundation/SystemInfo.h"
#include "IPC/IPCMessage.h"

#include "LogTestSupport.h"
#include "MailSlotListener.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

using namespace Vorlix;
using namespace std::chrono_literals;

namespace {

const auto* const fixedZone = ::testing::AddGlobalTestEnvironment(new LogTest::FixedZone);

const char* const kStamp = LogTest::kTimePattern;

using LogTest::readAll;

// The log lines of a file, without the agent's notes.
std::vector<std::string> recordLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(readAll(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("debug-", 0) == 0 || line.rfind("NOTICE", 0) == 0 || line.rfind("WARNING", 0) == 0 ||
            line.rfind("ERROR", 0) == 0 || line.rfind("FATAL", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

using LogTest::deleteProductValues;

void resetProcessSettings()
{
    setDebugThreshold(5);
    setSeverityThreshold(0);
    setThreadIdFlag(false);
    setMessageCatalogue(nullptr);
    setRotationScheme(0);
    setRotationPeriod(TimeSpan(0));
    setInitPending(true);
    setApplicationName("VlxFrontTest");
}

class LoggerFrontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProcessSettings();
        log = dir.file("front.log");
        messenger = CountedHandle<LogMessenger>(new LogMessenger);
        messenger->open(log);
        dispatcher = CountedHandle<LogDispatcher>(new LogDispatcher(20, messenger));
    }

    void TearDown() override
    {
        dispatcher.reset();
        messenger.reset();
        resetProcessSettings();
        deleteProductValues({"VlxFrontTestLogOpened", "VlxFrontTestLogCounter"});
    }

    TestSupport::TempDir dir;
    std::string log;
    CountedHandle<LogMessenger> messenger;
    CountedHandle<LogDispatcher> dispatcher;
};

TEST_F(LoggerFrontTest, UnitAnnouncesItselfAndWritesEachKindOfLine)
{
    {
        LoggerUnit unit(dispatcher, 6);
        EXPECT_TRUE(unit.debug(4, "IPC: plain"));
        EXPECT_TRUE(unit.debug(5, std::string("IPC: Server \"%s\": Now sleeping for a while."),
                               ParameterList().add("Sentinel_x")));
        EXPECT_TRUE(unit.notice(1));
        EXPECT_TRUE(unit.warning(7, ParameterList().add("App").add(int32_t{3})));
        EXPECT_TRUE(unit.error(15));
        EXPECT_TRUE(unit.error(5, ParameterList().add("App")));
        EXPECT_TRUE(unit.fatal(9, ParameterList().add("MEMORY")));
    }
    const std::string s = kStamp;
    const std::vector<std::string> expected = {
        "debug-1  " + s + " \\(20\\.06\\)    LoggerUnit: Created logger for the IPC module\\.",
        "debug-4  " + s + " \\(20\\.06\\)    IPC: plain",
        "debug-5  " + s + " \\(20\\.06\\)    IPC: Server \"Sentinel_x\": Now sleeping for a while\\.",
        "NOTICE   " + s + " \\(20\\.06\\.01\\) \\(Message not found\\.\\)",
        "WARNING  " + s + " \\(20\\.06\\.07\\) \\(Message not found\\.\\) Parameters: App  3  ",
        "ERROR    " + s + " \\(20\\.06\\.15\\) \\(Message not found\\.\\)",
        "ERROR    " + s + " \\(20\\.06\\.05\\) \\(Message not found\\.\\) Parameters: App  ",
        "FATAL    " + s + " \\(20\\.06\\.09\\) \\(Message not found\\.\\) Parameters: MEMORY  ",
        "debug-1  " + s + " \\(20\\.06\\)    LoggerUnit: Destroyed logger for the IPC module\\.",
    };
    const auto lines = recordLines(log);
    ASSERT_EQ(lines.size(), expected.size()) << readAll(log);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
    }
}

TEST_F(LoggerFrontTest, ThresholdsFilter)
{
    struct Case {
        int32_t debugThreshold;
        int32_t severityThreshold;
        int32_t call; // 0 debug level 1, 1 warning, 2 error, 3 fatal, 4 debug level 5
        bool written;
        const char* why;
    } cases[] = {
        {0, 0, 0, false, "debug threshold 0 silences level 1"},
        {1, 0, 0, true, "level 1 passes threshold 1"},
        {4, 0, 4, false, "level 5 above threshold 4"},
        {5, 2, 1, false, "warning below severity threshold 2"},
        {5, 2, 2, true, "error at threshold 2"},
        {5, 5, 3, false, "threshold 5 silences all, fatal too"},
        {5, 4, 3, true, "fatal at threshold 4"},
    };
    LoggerUnit unit(dispatcher, 23);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        setDebugThreshold(c.debugThreshold);
        setSeverityThreshold(c.severityThreshold);
        const size_t before = recordLines(log).size();
        bool answer = false;
        switch (c.call) {
        case 0:
            answer = unit.debug(1, "d1");
            break;
        case 1:
            answer = unit.warning(7, ParameterList().add("x"));
            break;
        case 2:
            answer = unit.error(8, ParameterList().add("x"));
            break;
        case 3:
            answer = unit.fatal(9, ParameterList().add("x"));
            break;
        default:
            answer = unit.debug(5, "d5");
            break;
        }
        EXPECT_TRUE(answer) << "filtered and delivered records both answer true";
        EXPECT_EQ(recordLines(log).size(), before + (c.written ? 1 : 0));
    }
    setDebugThreshold(3);
    setDebugThreshold(6);
    setDebugThreshold(-1);
    EXPECT_EQ(debugThreshold(), 3) << "values outside 0 to 5 are ignored";
    setSeverityThreshold(2);
    setSeverityThreshold(6);
    EXPECT_EQ(severityThreshold(), 2);
}

TEST_F(LoggerFrontTest, FailuresAnswerFalse)
{
    LoggerUnit none(CountedHandle<LogDispatcher>(), 23);
    EXPECT_FALSE(none.debug(1, "x"));
    EXPECT_FALSE(none.warning(7, ParameterList()));
    setDebugThreshold(0);
    EXPECT_TRUE(none.debug(1, "x")) << "filtered before the dispatcher is asked";

    setDebugThreshold(5);
    LoggerUnit noMessenger(CountedHandle<LogDispatcher>(new LogDispatcher(20)), 23);
    EXPECT_FALSE(noMessenger.error(3));

    CountedHandle<LogMessenger> nowhere(new LogMessenger);
    nowhere->open("Q:\\no-such-drive\\x.log");
    LoggerUnit unwritable(CountedHandle<LogDispatcher>(new LogDispatcher(20, nowhere)), 23);
    EXPECT_FALSE(unwritable.debug(1, "x")) << "a line that cannot be written";
    EXPECT_FALSE(unwritable.error(3));

    EXPECT_FALSE(messenger->deliver("not a record"));
    EXPECT_FALSE(messenger->deliver(std::string("Vorlix \x1CLOG\x1C")));
    EXPECT_THROW(messenger->deliver(std::string("Vorlix\x1C"
                                                "DEBUG\x1C"
                                                "1\x1C"
                                                "1\x1C-4\x1C"
                                                "1\x1Ct\x1C")),
                 TimeException)
        << "a negative time passes on to the caller";
}

TEST_F(LoggerFrontTest, ThreadIdsOnDebugLinesOnly)
{
    LoggerUnit unit(dispatcher, 23);
    setThreadIdFlag(true);
    unit.debug(2, "statusMonitor: pass");
    unit.warning(7, ParameterList().add("App"));
    setThreadIdFlag(false);
    const auto lines = recordLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find(")    " + std::to_string(GetCurrentThreadId()) + ": statusMonitor: pass"),
              std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[2].find(std::to_string(GetCurrentThreadId()) + ": "), std::string::npos) << lines[2];
}

TEST_F(LoggerFrontTest, InstalledCatalogueResolvesMessages)
{
    CreateDirectoryA(dir.file("LogMessages").c_str(), nullptr);
    TestSupport::writeBytes(dir.file("LogMessages\\sentinel.mess"),
                            "7: Application \"%s\" stopped (%i times).\r\n");
    MessageCatalogue catalogue;
    ASSERT_TRUE(catalogue.load(dir.path, "all").ok);
    setMessageCatalogue(&catalogue);
    LoggerUnit unit(dispatcher, 23);
    unit.warning(7, ParameterList().add("App").add(int32_t{3}));
    unit.warning(8, ParameterList().add("App"));
    LoggerUnit other(dispatcher, 6);
    other.warning(7, ParameterList().add("App"));
    setMessageCatalogue(nullptr);
    const auto lines = recordLines(log);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[1].find("(20.23.07) Application \"App\" stopped (3 times)."), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("(20.23.08) (Message not found.) Parameters: App  "), std::string::npos)
        << lines[2];
    EXPECT_NE(lines[4].find("(20.06.07) (Message not found.)"), std::string::npos)
        << "another module's catalogue";
}

TEST_F(LoggerFrontTest, UnopenedMessengerWritesIntoTheCurrentDirectory)
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path.c_str()));
    {
        CountedHandle<LogMessenger> plain(new LogMessenger);
        LoggerUnit unit(CountedHandle<LogDispatcher>(new LogDispatcher(20, plain)), 23);
        EXPECT_TRUE(unit.debug(1, "here"));
    }
    SetCurrentDirectoryA(previous);
    EXPECT_NE(readAll(dir.file("Vorlix_Debug.log")).find("here"), std::string::npos);
}

TEST_F(LoggerFrontTest, ManyThreadsThroughOneUnit)
{
    LoggerUnit unit(dispatcher, 23);
    std::vector<std::thread> workers;
    std::atomic<int> failed{0};
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                if (!unit.debug(3, "worker %i line %i", ParameterList().add(int32_t{t}).add(int32_t{i}))) {
                    ++failed;
                }
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    EXPECT_EQ(failed.load(), 0);
    const auto lines = recordLines(log);
    EXPECT_EQ(lines.size(), 401u);
    std::set<std::string> distinct(lines.begin() + 1, lines.end());
    EXPECT_EQ(distinct.size(), 400u);
}

TEST_F(LoggerFrontTest, ForwardingReachesTheCoreServiceByteExact)
{
    const std::string output = dir.file("listener.txt");
    TestSupport::Listener listener;
    ASSERT_TRUE(listener.start("Vorlix_Core 3 30", output));
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return readAll(output).find("listening on") != std::string::npos; }, 20s));

    CountedHandle<LogMessengerIPC> forwarding(new LogMessengerIPC);
    forwarding->open(dir.file("forward.log"));
    const int32_t before = DateTime().seconds();
    {
        LoggerUnit unit(CountedHandle<LogDispatcher>(new LogDispatcher(20, forwarding)), 23);
        EXPECT_TRUE(unit.debug(1, "never forwarded"));
        EXPECT_TRUE(unit.warning(7, ParameterList().add("App")));
        EXPECT_TRUE(unit.error(15));
    }
    // A record whose local line cannot be written is still offered.
    CountedHandle<LogMessengerIPC> unwritable(new LogMessengerIPC);
    unwritable->open("Q:\\no-such-drive\\x.log");
    LoggerUnit lost(CountedHandle<LogDispatcher>(new LogDispatcher(4, unwritable)), 1);
    EXPECT_FALSE(lost.fatal(2, ParameterList().add("f.conf").add("FL_OPEN")));
    const int32_t after = DateTime().seconds();

    ASSERT_TRUE(listener.wait(30000)) << readAll(output);
    const auto datagrams = TestSupport::printedDatagrams(readAll(output));
    ASSERT_EQ(datagrams.size(), 3u) << readAll(output);
    struct Expect {
        int32_t application;
        int32_t module;
        int32_t severity;
        int32_t number;
        std::string parameters;
    } expected[] = {
        {20, 23, 1, 7, "sApp\x1A"},
        {20, 23, 2, 15, ""},
        {4, 1, 4, 2, "sf.conf\x1AsFL_OPEN\x1A"},
    };
    for (size_t i = 0; i < datagrams.size(); ++i) {
        SCOPED_TRACE(i);
        const IPCFields fields = cutMessage(datagrams[i]);
        LogRecord record;
        ASSERT_TRUE(parseRecord(fields.text, record));
        EXPECT_EQ(record.kind, RECORD_CATALOGUED);
        EXPECT_EQ(record.application, expected[i].application);
        EXPECT_EQ(record.module, expected[i].module);
        EXPECT_EQ(record.severity, expected[i].severity);
        EXPECT_EQ(record.messageNumber, expected[i].number);
        EXPECT_EQ(record.text, expected[i].parameters);
        EXPECT_GE(record.time.seconds(), before);
        EXPECT_LE(record.time.seconds(), after);
        EXPECT_EQ(datagrams[i], buildMessage("LOGMSG", "", serialiseRecord(record), "")) << "byte-exact";
    }
    EXPECT_EQ(recordLines(dir.file("forward.log")).size(), 5u)
        << "every record, the unit's own included, lands in the local log";
}

TEST_F(LoggerFrontTest, ForwardingWithoutCoreServiceKeepsTheLocalLog)
{
    CountedHandle<LogMessengerIPC> forwarding(new LogMessengerIPC);
    forwarding->open(dir.file("alone.log"));
    LoggerUnit unit(CountedHandle<LogDispatcher>(new LogDispatcher(20, forwarding)), 23);
    EXPECT_TRUE(unit.warning(7, ParameterList().add("App")));
    EXPECT_EQ(recordLines(dir.file("alone.log")).size(), 2u);
}

class LoggerSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProcessSettings();
        clearRegistry();
    }
    void TearDown() override
    {
        clearRegistry();
        resetProcessSettings();
        setRotationSizeLimit(10);
    }
    static void clearRegistry()
    {
        deleteProductValues({"StartupLogDir", "StartupDebugLevel", "LogFileRotationScheme",
                             "SentinelLogOpened", "SentinelLogCounter"});
    }

    CountedHandle<ConfReader> reader(const std::string& text)
    {
        const std::string path = dir.file("test.conf");
        TestSupport::writeBytes(path, text);
        CountedHandle<ConfReader> conf(new ConfReader(CountedHandle<LogDispatcher>()));
        conf->buildTree(path);
        return conf;
    }

    TestSupport::TempDir dir;
};

TEST_F(LoggerSetupTest, StartUpFromTheRegistry)
{
    ASSERT_EQ(SystemInfo::setProductString("StartupLogDir", dir.path + "/logs"), 0);
    ASSERT_EQ(SystemInfo::setRegNumber(SystemInfo::productKey, "StartupDebugLevel", 2), 0);
    ASSERT_EQ(SystemInfo::setProductString("LogFileRotationScheme", "init,none,size"), 0);
    LoggerSetup setup;
    setup.logFileName = "Sentinel.log";
    setup.applicationNumber = 20;
    setup.moduleNumber = 23;
    ASSERT_TRUE(setupLogger(setup));
    EXPECT_FALSE(setup.messenger.isNull());
    EXPECT_FALSE(setup.dispatcher.isNull());
    EXPECT_FALSE(setup.unit.isNull());
    EXPECT_EQ(setup.logDirectory, dir.path + "\\logs\\");
    EXPECT_EQ(debugThreshold(), 2);
    EXPECT_EQ(rotationScheme(), ROTATE_SIZE);
    EXPECT_EQ(applicationName(), "Sentinel");
    EXPECT_EQ(setup.messenger->logAgent().path(), dir.path + "\\logs\\Sentinel.log");
    setup.unit.reset();
    const auto lines = recordLines(dir.file("logs\\Sentinel.log"));
    ASSERT_EQ(lines.size(), 2u) << "created and destroyed, both level 1";
    EXPECT_NE(lines[0].find("(20.23)    LoggerUnit: Created logger for the Sentinel module."),
              std::string::npos);
}

TEST_F(LoggerSetupTest, SchemeWordsAndMissingRegistryValues)
{
    struct Case {
        const char* words;
        int32_t start;
        int32_t scheme;
    } cases[] = {
        {"size,time", 0, 6}, {"init,none,size", 0, 4}, {"time", 1, 3}, {"Size, time", 0, 0},
        {"", 4, 4},          {"none", 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        setRotationScheme(c.start);
        applyRotationWords(c.words);
        EXPECT_EQ(rotationScheme(), c.scheme);
    }

    setRotationScheme(0);
    LoggerSetup setup;
    setup.logDirectory = dir.path;
    setup.logFileName = "a.log";
    setup.applicationNumber = 20;
    ASSERT_TRUE(setupLogger(setup));
    EXPECT_EQ(debugThreshold(), 0) << "a missing StartupDebugLevel counts as 0";
    EXPECT_EQ(rotationScheme(), 0);
    EXPECT_FALSE(setupLogger(setup)) << "reconfiguration without a configuration";
}

TEST_F(LoggerSetupTest, ReconfigurationFollowsTheKeys)
{
    LoggerSetup setup;
    setup.logDirectory = dir.path;
    setup.logFileName = "Sentinel.log";
    setup.applicationNumber = 20;
    setup.moduleNumber = 23;
    ASSERT_TRUE(setupLogger(setup));
    setDebugThreshold(5);
    ASSERT_TRUE(setup.unit->debug(1, "before the move"));

    const std::string moved = dir.path + "\\moved";
    setup.configuration =
        reader("Vorlix() = \"\" {\n  directories() = \"\" {\n    log(DirName) = \"" +
               std::regex_replace(moved, std::regex("\\\\"), "\\\\") +
               "\" {}\n  }\n}\n"
               "log() = \"\" {\n  time(String) = zulu {}\n  rotation() = \"\" {\n"
               "    scheme(String) = \"init,size\" {}\n    time(TimeSpan) = P1D {}\n"
               "    size(Integer) = 12 {}\n  }\n  global() = \"\" {\n"
               "    severity(String) = WARNING {}\n    debug-level(Integer) = 3 {}\n  }\n}\n");
    setInitPending(false);
    ASSERT_TRUE(setupLogger(setup));
    EXPECT_EQ(setup.logFileName, moved + "\\Sentinel.log");
    EXPECT_EQ(rotationScheme(), ROTATE_INIT | ROTATE_SIZE);
    EXPECT_EQ(rotationPeriod().seconds(), 86400);
    EXPECT_EQ(rotationSizeLimit(), 12u);
    EXPECT_TRUE(initPending()) << "init newly switched on";
    EXPECT_EQ(severityThreshold(), 1);
    EXPECT_EQ(debugThreshold(), 3);
    setup.unit->debug(1, "after the move");
    EXPECT_NE(readAll(dir.file("Sentinel.log")).find("Reason: Log file moved to"), std::string::npos);
    EXPECT_NE(readAll(moved + "\\Sentinel.log").find("after the move"), std::string::npos);

    // The same keys again: init stays on and is not pending anew.
    setInitPending(false);
    ASSERT_TRUE(setupLogger(setup));
    EXPECT_FALSE(initPending());

    struct Case {
        std::string body;
        int32_t severity;
        int32_t debug;
        uint32_t size;
        const char* why;
    } cases[] = {
        {"", 0, 0, 0, "missing keys: thresholds 0, size limit 0"},
        {"log() = \"\" { global() = \"\" { severity(String) = warning {} debug-level(Integer) = 9 {} } }\n",
         2, 3, 0, "lower-case severity and level 9 leave both thresholds"},
        {"log() = \"\" { global() = \"\" { severity(String) = NOTHING {} } }\n", 5, 0, 0,
         "NOTHING silences all"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        setSeverityThreshold(2);
        setDebugThreshold(3);
        setup.configuration = reader(c.body);
        ASSERT_TRUE(setupLogger(setup));
        EXPECT_EQ(severityThreshold(), c.severity);
        EXPECT_EQ(debugThreshold(), c.debug);
        EXPECT_EQ(rotationSizeLimit(), c.size);
        EXPECT_EQ(rotationScheme(), ROTATE_INIT | ROTATE_SIZE) << "no scheme key: scheme unchanged";
    }
}

} // namespace
