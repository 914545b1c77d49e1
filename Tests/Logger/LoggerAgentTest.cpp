// LoggerAgentTest.cpp - the log file agent on a real file system: notes, rotation by the init,
// time and size conditions, archive names and registry values, failed renames, and many threads
// and processes appending to one file.
//
// Win32-only test code. Local time is fixed by TZ ("VLX-2": two hours east, no daylight saving).
#include "Logger/LoggerAgent.h"
#include "Logger/LogRecord.h"

#include "File/FileFaults.h"
#include "File/FileOps.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"

#include "LogTestSupport.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

using namespace Vorlix;
using namespace std::chrono_literals;

namespace {

const auto* const fixedZone = ::testing::AddGlobalTestEnvironment(new LogTest::FixedZone);

const char* const kChildVariable = "VORLIX_LOGGER_CHILD";
const char* const kApp = "VlxAgentTest";
const std::string kMiB(1 << 20, 'z');
// The local stamp of an archive whose file was opened at 2008-03-02T12:03:09Z.
const char* const kOpenedUtc = "20080302T120309Z";
const char* const kOpenedLocal = "20080302T140309";
const char* const kTimeRe = LogTest::kTimePattern;

using LogTest::readAll;

std::string product(const std::string& name)
{
    std::string value;
    return SystemInfo::getProductString(std::string(kApp) + name, value) == 0 ? value
                                                                              : std::string("<missing>");
}

void deleteProductValues()
{
    LogTest::deleteProductValues({std::string(kApp) + "LogOpened", std::string(kApp) + "LogCounter"});
}

void resetSettings()
{
    setApplicationName(kApp);
    setRotationScheme(0);
    setRotationPeriod(TimeSpan(0));
    setRotationSizeLimit(10);
    setInitPending(true);
    forgetSeenRotationSettings();
}

TestSupport::ChildProcess* startChild(const std::string& role)
{
    auto* child = new TestSupport::ChildProcess;
    const std::string command =
        "\"" + TestSupport::programPath("LoggerTests.exe") + "\" --gtest_filter=LoggerChild.Role";
    if (!child->start(command, kChildVariable, role)) {
        delete child;
        return nullptr;
    }
    return child;
}

Vorlix::KernelHandle makeEvent(const std::string& name)
{
    return Vorlix::KernelHandle(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
}

// Child roles, run only inside processes the tests start:
//   hold|<path>|<event base>                 keeps the file open until told to let go
//   write|<path>|<tag>|<threads>|<lines>|<event base>   appends lines with rotation by size
TEST(LoggerChild, Role)
{
    const char* role = std::getenv(kChildVariable);
    if (role == nullptr) {
        GTEST_SKIP() << "child role only";
    }
    std::string rest = role;
    const std::string kind = cut(rest, '|');
    const std::string path = cut(rest, '|');
    if (kind == "hold") {
        const std::string base = cut(rest, '|');
        auto ready = makeEvent(base + "-ready");
        auto release = makeEvent(base + "-release");
        Vorlix::FileHandle held(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        SetEvent(ready.get());
        WaitForSingleObject(release.get(), 30000);
        return;
    }
    ASSERT_EQ(kind, "write");
    const std::string tag = cut(rest, '|');
    const int threads = std::atoi(cut(rest, '|').c_str());
    const int lines = std::atoi(cut(rest, '|').c_str());
    const std::string base = cut(rest, '|');
    resetSettings();
    LoggerAgent agent;
    setRotationScheme(ROTATE_SIZE);
    setRotationSizeLimit(1);
    agent.open(path);
    auto go = makeEvent(base + "-go");
    WaitForSingleObject(go.get(), 30000);
    std::atomic<int> failed{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                std::string line = "L " + tag + "-" + std::to_string(t) + "-" + std::to_string(i) + " ";
                line.append(900, static_cast<char>('a' + (i % 26)));
                line += " E";
                if (!agent.write(line)) {
                    ++failed;
                }
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    EXPECT_EQ(failed.load(), 0);
}

class LoggerAgentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SystemInfo::selectRoot("HKEY_LOCAL_MACHINE"));
        deleteProductValues();
        resetSettings();
        log = dir.file("x.log");
    }

    void TearDown() override
    {
        deleteProductValues();
        resetSettings();
    }

    static void setProduct(const std::string& name, const std::string& value)
    {
        ASSERT_EQ(SystemInfo::setProductString(kApp + name, value), 0);
    }

    // An existing log file opened at kOpenedUtc, with `mebibytes` of content.
    void existingLog(int mebibytes, const std::string& counter = "4")
    {
        std::string content;
        for (int i = 0; i < mebibytes; ++i) {
            content += kMiB;
        }
        TestSupport::writeBytes(log, content.empty() ? std::string("old\r\n") : content);
        setProduct("LogOpened", kOpenedUtc);
        setProduct("LogCounter", counter);
    }

    std::string archive(const std::string& counter) const
    {
        return dir.file(std::string("x_") + kOpenedLocal + "_" + counter + ".log");
    }

    // Each whole MiB of filler reads "<MiB>": the regex engine recurses per character and would
    // overflow the stack on a mebibyte.
    static std::string shrink(std::string text)
    {
        for (size_t at = text.find(kMiB); at != std::string::npos; at = text.find(kMiB, at)) {
            text.replace(at, kMiB.size(), "<MiB>");
        }
        return text;
    }

    static void expectMatch(const std::string& text, const std::string& pattern)
    {
        const std::string small = shrink(text);
        EXPECT_TRUE(std::regex_match(small, std::regex(pattern))) << "text:\n"
                                                                  << small << "\npattern:\n"
                                                                  << pattern;
    }

    static std::string tail(const std::string& text, size_t from)
    {
        return text.size() > from ? text.substr(from) : std::string();
    }

    std::string openedNote() const
    {
        return std::string("\r\nOpened log file \"x.log\"\\. Time: ") + kTimeRe + "\r\n\r\n";
    }

    // What a successful rotation leaves at the end of the old file and at the start of the new one.
    std::string rotatedTail(const std::string& condition, const std::string& target) const
    {
        return condition + "\r\n\nRotation process started\\.\\.\\.\r\nRenaming file from \"" +
               std::regex_replace(log, std::regex("\\\\"), "\\\\") + "\" to \"" +
               std::regex_replace(target, std::regex("\\\\"), "\\\\") +
               "\"\\.\r\n\r\nClosing log file \"x\\.log\"\\. Time: " + kTimeRe +
               "\\. Reason: Rotating log file\\.\r\n\r\n";
    }

    TestSupport::TempDir dir;
    std::string log;
};

TEST_F(LoggerAgentTest, NewFileNotesAndLinesWithoutRotation)
{
    {
        LoggerAgent agent;
        EXPECT_TRUE(agent.open(log));
        EXPECT_FALSE(FileOps::exists(log)) << "nothing reaches the disk before the first line";
        EXPECT_TRUE(agent.open(log)) << "the same path again changes nothing";
        EXPECT_EQ(agent.location(), "file:///" + log);
        EXPECT_TRUE(agent.write("first"));
        EXPECT_TRUE(agent.write(kMiB));
        EXPECT_TRUE(agent.write("last"));
    }
    const std::string text = readAll(log);
    expectMatch(text, openedNote() + "first\r\n<MiB>\r\nlast\r\n\r\nClosing log file \"x\\.log\"\\. Time: " +
                          kTimeRe + "\\. Reason: Quitting Logger Agent\\.\r\n\r\n");
    expectMatch(product("LogOpened"), "\\d{8}T\\d{6}Z");
    EXPECT_EQ(product("LogCounter"), "<missing>")
        << "no rotation with no scheme bit, even past the size limit";
}

TEST_F(LoggerAgentTest, WriteWithoutPathOrAfterFileVanishesFromDirectory)
{
    LoggerAgent agent;
    EXPECT_FALSE(agent.write("no file yet")) << "an agent without a path writes nothing";
    EXPECT_TRUE(agent.open(dir.file("missing\\deeper\\y.log")));
    EXPECT_TRUE(agent.write("parents are created")) << "the log directory is made on first use";
    EXPECT_NE(readAll(dir.file("missing\\deeper\\y.log")).find("parents are created\r\n"), std::string::npos);
}

TEST_F(LoggerAgentTest, AFailedWriteIsReportedAndLoggingGoesOnAfterIt)
{
    LoggerAgent agent;
    agent.open(log);
    ASSERT_TRUE(agent.write("before"));
    {
        FileFaults::Plan full;
        full.pathEndsWith = "x.log";
        full.writeBudget = 0;
        FileFaults::ScopedPlan diskFull(full);
        EXPECT_FALSE(agent.write("lost on a full disk"));
    }
    {
        FileFaults::Plan failingFlush;
        failingFlush.pathEndsWith = "x.log";
        failingFlush.failFlush = true;
        FileFaults::ScopedPlan flushFails(failingFlush);
        EXPECT_FALSE(agent.write("not flushed"));
    }
    EXPECT_TRUE(agent.write("after")) << "a disk that has room again takes lines again";
    EXPECT_TRUE(agent.write("and more"));
    const std::string text = readAll(log);
    EXPECT_NE(text.find("before\r\n"), std::string::npos);
    EXPECT_NE(text.find("after\r\nand more\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("lost on a full disk"), std::string::npos);
}

TEST_F(LoggerAgentTest, OpenOnAnotherPathMovesTheLog)
{
    const std::string other = dir.file("y.log");
    {
        LoggerAgent agent;
        agent.open(log);
        agent.write("before");
        agent.open(other);
        agent.write("after");
    }
    expectMatch(readAll(log), openedNote() + "before\r\n\r\nClosing log file \"x\\.log\"\\. Time: " +
                                  kTimeRe + "\\. Reason: Log file moved to \"" +
                                  std::regex_replace(other, std::regex("\\\\"), "\\\\") + "\"\\.\\.\r\n\r\n");
    const std::string moved = readAll(other);
    EXPECT_EQ(moved.find("\r\nOpened log file \"y.log\". Time: "), 0u) << moved;
    EXPECT_NE(moved.find("Log continued from \"" + log + "\".\r\n\r\nafter\r\n"), std::string::npos) << moved;
}

TEST_F(LoggerAgentTest, SizeRotationNotesArchiveNameAndCounter)
{
    existingLog(1);
    LoggerAgent agent;
    setRotationScheme(ROTATE_SIZE);
    setRotationSizeLimit(1);
    agent.open(log);
    ASSERT_TRUE(agent.write("line"));

    const std::string old = readAll(archive("4"));
    ASSERT_GE(old.size(), kMiB.size());
    EXPECT_EQ(old.compare(0, kMiB.size(), kMiB), 0) << "the archive keeps every byte of the old file";
    expectMatch(tail(old, kMiB.size()), rotatedTail("\nRotate condition: Size1 >= 1", archive("4")));
    const std::string fresh = readAll(log);
    expectMatch(fresh, std::string("Log continued from \"x_") + kOpenedLocal + "_4\\.log\"\\.\r\n" +
                           openedNote() + "line\r\n");
    EXPECT_EQ(product("LogCounter"), "5");
    EXPECT_NE(product("LogOpened"), kOpenedUtc) << "the new file's opening time is stored";
    EXPECT_TRUE(agent.write("next")) << "a small new file is not rotated again";
    EXPECT_FALSE(FileOps::exists(archive("5")));
}

TEST_F(LoggerAgentTest, InitRotationOnlyForAnExistingFileAndOncePerProcess)
{
    existingLog(0);
    setRotationScheme(ROTATE_INIT);
    {
        LoggerAgent agent;
        agent.open(log);
        ASSERT_TRUE(agent.write("one"));
    }
    const std::string old = readAll(archive("4"));
    expectMatch(tail(old, 5), rotatedTail("\nRotate condition\\(s\\): Init", archive("4")));
    EXPECT_EQ(product("LogCounter"), "5");
    {
        LoggerAgent again; // the same process: the init condition is spent
        again.open(log);
        ASSERT_TRUE(again.write("two"));
    }
    EXPECT_EQ(product("LogCounter"), "5");

    // A file that did not exist is not rotated at start.
    setInitPending(true);
    const std::string other = dir.file("z.log");
    LoggerAgent fresh;
    fresh.open(other);
    ASSERT_TRUE(fresh.write("three"));
    EXPECT_EQ(product("LogCounter"), "5");
    EXPECT_FALSE(initPending());
}

TEST_F(LoggerAgentTest, ConditionCombinations)
{
    // A period of 30 years: the first boundary after the old opening time still lies ahead (the
    // end of 2029), so the time condition is not due.
    constexpr int32_t kNotYet = 946080000;
    struct Case {
        int32_t scheme;
        int32_t periodSeconds;
        int mebibytes;
        bool rotates;
        std::string note;
        const char* why;
    } cases[] = {
        {ROTATE_INIT | ROTATE_SIZE, 0, 0, false, "", "init and size: a small file is kept at start"},
        {ROTATE_INIT | ROTATE_SIZE, 0, 1, true, "\nRotate condition\\(s\\): Init AND Size 1 >= 1",
         "init and size: a big one rotates"},
        {ROTATE_TIME | ROTATE_SIZE, kNotYet, 1, true, "\nRotate condition\\(s\\): Size 1 >= 1",
         "time and size: big rotates before the time is due"},
        {ROTATE_TIME | ROTATE_SIZE, 0, 1, false, "", "time and size without a period: never"},
        {ROTATE_TIME, kNotYet, 1, false, "", "time only, not due: never, however big"},
        {ROTATE_SIZE, 0, 0, false, "", "size only, small"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        deleteProductValues();
        resetSettings();
        existingLog(c.mebibytes);
        {
            LoggerAgent agent;
            setRotationScheme(c.scheme);
            setRotationPeriod(TimeSpan(c.periodSeconds));
            setRotationSizeLimit(1);
            agent.open(log);
            ASSERT_TRUE(agent.write("line"));
        }
        EXPECT_EQ(FileOps::exists(archive("4")), c.rotates);
        if (c.rotates) {
            const std::string old = readAll(archive("4"));
            expectMatch(tail(old, kMiB.size()), rotatedTail(c.note, archive("4")));
        }
        FileUtils::removeFile(archive("4"), true);
        FileUtils::removeFile(log, true);
    }
}

TEST_F(LoggerAgentTest, TimeScheduleFallsOnLocalMidnight)
{
    LoggerAgent agent;
    setRotationScheme(ROTATE_TIME);
    setRotationPeriod(TimeSpan(86400));
    agent.open(log);
    ASSERT_TRUE(agent.write("line"));
    const int64_t now = DateTime().seconds();
    const int64_t localMidnightAfter = ((now + 7200) / 86400 + 1) * 86400 - 7200;
    EXPECT_EQ(agent.nextRotationTime().seconds(), localMidnightAfter);
    EXPECT_EQ(agent.nextRotationTime().toString(false, false, false).substr(10), "T00:00:00");
}

TEST_F(LoggerAgentTest, EveryAgentNoticesAChangedPeriod)
{
    LoggerAgent first;
    LoggerAgent second;
    setRotationScheme(ROTATE_TIME);
    setRotationPeriod(TimeSpan(86400));
    first.open(log);
    second.open(dir.file("y.log"));
    ASSERT_TRUE(first.write("a"));
    ASSERT_TRUE(second.write("a"));
    const int32_t daily = second.nextRotationTime().seconds();
    setRotationPeriod(TimeSpan(3600));
    ASSERT_TRUE(first.write("b"));
    ASSERT_TRUE(second.write("b"));
    EXPECT_NE(second.nextRotationTime().seconds(), daily) << "the second agent to write sees the change too";
    EXPECT_EQ((second.nextRotationTime().seconds() + 7200) % 3600, 0);
    EXPECT_EQ(first.nextRotationTime().seconds(), second.nextRotationTime().seconds());
}

TEST_F(LoggerAgentTest, TimeRotationWhenDue)
{
    LoggerAgent agent;
    setRotationScheme(ROTATE_TIME);
    setRotationPeriod(TimeSpan(2));
    agent.open(log);
    ASSERT_TRUE(agent.write("first"));
    EXPECT_EQ(product("LogCounter"), "<missing>") << "a new file is not due";
    const DateTime due = agent.nextRotationTime();
    EXPECT_EQ((due.seconds() + 7200) % 2, 0) << "boundaries at local multiples of the period";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !(due > currentTime()); }, 5s));
    ASSERT_TRUE(agent.write("second"));
    // Without a stored counter the process's last counter text is used ("0" in a fresh process).
    const auto archives = FileUtils::listDirectory(dir.path, "x_*.log");
    ASSERT_EQ(archives.size(), 1u);
    const std::string name = archives[0].name;
    const std::string counter = name.substr(name.rfind('_') + 1, name.size() - name.rfind('_') - 5);
    EXPECT_EQ(product("LogCounter"), std::to_string(std::atoi(counter.c_str()) + 1));
    const std::string old = readAll(dir.file(archives[0].name));
    expectMatch(
        old.substr(old.find("first\r\n") + 7),
        rotatedTail("\nRotate condition\\(s\\): Time " + due.toString(false, false, false) + " <= " + kTimeRe,
                    dir.file(archives[0].name)));
    const std::string fresh = readAll(log);
    EXPECT_NE(fresh.find("second\r\n"), std::string::npos);
    EXPECT_GT(agent.nextRotationTime().seconds(), due.seconds()) << "the schedule moves on with the new file";
}

TEST_F(LoggerAgentTest, SizeLimitZeroRotatesAtEveryLine)
{
    // Documented behaviour of a configuration without a size limit: kept as it is.
    LoggerAgent agent;
    setRotationScheme(ROTATE_SIZE);
    setRotationSizeLimit(0);
    agent.open(log);
    ASSERT_TRUE(agent.write("a"));
    ASSERT_TRUE(agent.write("b"));
    EXPECT_GE(FileUtils::listDirectory(dir.path, "x_*.log").size(), 2u);
}

TEST_F(LoggerAgentTest, OldOpeningTimeWithAOneSecondPeriodSchedulesAtOnce)
{
    TestSupport::writeBytes(log, "old\r\n");
    setProduct("LogOpened", "19700102T000000Z");
    LoggerAgent agent;
    setRotationScheme(ROTATE_TIME);
    setRotationPeriod(TimeSpan(1));
    agent.open(log);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(agent.write("line"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "a billion rounds of adding a second";
    EXPECT_GE(agent.nextRotationTime().seconds() + 2, DateTime().seconds());
}

TEST_F(LoggerAgentTest, SpoiltOpeningTimeCountsAsMissing)
{
    existingLog(0);
    setProduct("LogOpened", "not a time");
    setRotationScheme(ROTATE_INIT);
    LoggerAgent agent;
    agent.open(log);
    ASSERT_TRUE(agent.write("line"));
    EXPECT_EQ(FileUtils::listDirectory(dir.path, "x_*_4.log").size(), 1u)
        << "rotated under the present moment";
}

TEST_F(LoggerAgentTest, ArchivesAreNeverOverwritten)
{
    existingLog(1);
    TestSupport::writeBytes(archive("4"), "earlier archive\r\n");
    TestSupport::writeBytes(archive("5"), "another earlier archive\r\n");
    {
        LoggerAgent agent;
        setRotationScheme(ROTATE_SIZE);
        setRotationSizeLimit(1);
        agent.open(log);
        ASSERT_TRUE(agent.write("line"));
    }
    EXPECT_EQ(readAll(archive("4")), "earlier archive\r\n");
    EXPECT_EQ(readAll(archive("5")), "another earlier archive\r\n");
    ASSERT_TRUE(FileOps::exists(archive("6")));
    EXPECT_EQ(readAll(archive("6")).compare(0, kMiB.size(), kMiB), 0);
    EXPECT_EQ(product("LogCounter"), "7");

    // A stale counter (one the registry never took) at the next start: the name comes round again.
    existingLog(1, "4");
    setInitPending(true);
    {
        LoggerAgent agent;
        setRotationScheme(ROTATE_INIT);
        agent.open(log);
        ASSERT_TRUE(agent.write("line"));
    }
    EXPECT_EQ(readAll(archive("4")), "earlier archive\r\n");
    EXPECT_EQ(readAll(archive("6")).compare(0, kMiB.size(), kMiB), 0);
    EXPECT_TRUE(FileOps::exists(archive("7")));
}

TEST_F(LoggerAgentTest, FailedRenameWhileAnotherProcessHoldsTheFile)
{
    existingLog(1);
    const std::string base = "VorlixLogHold-" + std::to_string(GetCurrentProcessId());
    auto ready = makeEvent(base + "-ready");
    auto release = makeEvent(base + "-release");
    std::unique_ptr<TestSupport::ChildProcess> holder(startChild("hold|" + log + "|" + base));
    ASSERT_TRUE(holder);
    ASSERT_EQ(WaitForSingleObject(ready.get(), 20000), WAIT_OBJECT_0);

    LoggerAgent agent;
    setRotationScheme(ROTATE_SIZE);
    setRotationSizeLimit(1);
    agent.open(log);
    ASSERT_TRUE(agent.write("one"));
    EXPECT_FALSE(FileOps::exists(archive("4")));
    EXPECT_EQ(product("LogCounter"), "5") << "the counter has advanced";
    EXPECT_FLOAT_EQ(agent.sizeFactorNow(), 1.25f);
    const std::string text = readAll(log);
    expectMatch(tail(text, kMiB.size()), rotatedTail("\nRotate condition: Size1 >= 1", archive("4")) +
                                             "Log file rotation error\\. \\(\\d+\\)\r\n" + openedNote() +
                                             "one\r\n");

    ASSERT_TRUE(agent.write("two")) << "1 MiB is below 1.25 times the limit: no new attempt";
    EXPECT_EQ(product("LogCounter"), "5");

    SetEvent(release.get());
    uint32_t code = 0;
    ASSERT_TRUE(holder->wait(20s, code));
    ASSERT_TRUE(agent.write(kMiB)) << "the file grows to 2 MiB";
    ASSERT_TRUE(agent.write("three"));
    ASSERT_TRUE(FileOps::exists(archive("5")));
    const std::string rotated = readAll(archive("5"));
    EXPECT_NE(rotated.find("\nRotate condition: Size2 >= 1.25\r\n"), std::string::npos);
    EXPECT_FLOAT_EQ(agent.sizeFactorNow(), 1.0f);
    EXPECT_NE(readAll(log).find("three\r\n"), std::string::npos);
}

// Lines of the form "L <tag>-<thread>-<index> <filler> E" across the log and its archives.
std::map<std::string, int> collectLines(const std::string& dirPath, int& torn)
{
    std::map<std::string, int> seen;
    torn = 0;
    for (const DirEntry& e : FileUtils::listDirectory(dirPath, "x*.log")) {
        std::istringstream in(readAll(dirPath + "\\" + e.name));
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("L ", 0) != 0) {
                continue;
            }
            if (line.size() < 4 || line.compare(line.size() - 3, 3, " E\r") != 0 || line.size() < 900) {
                ++torn;
                continue;
            }
            ++seen[line.substr(0, line.find(' ', 2))];
        }
    }
    return seen;
}

void expectEveryLineOnce(const std::string& dirPath, const std::vector<std::string>& tags, int threads,
                         int lines)
{
    int torn = 0;
    const auto seen = collectLines(dirPath, torn);
    EXPECT_EQ(torn, 0) << "torn lines";
    int missing = 0;
    int duplicated = 0;
    for (const auto& tag : tags) {
        for (int t = 0; t < threads; ++t) {
            for (int i = 0; i < lines; ++i) {
                const auto it = seen.find("L " + tag + "-" + std::to_string(t) + "-" + std::to_string(i));
                if (it == seen.end()) {
                    ++missing;
                } else if (it->second != 1) {
                    ++duplicated;
                }
            }
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(duplicated, 0);
    EXPECT_EQ(seen.size(), tags.size() * threads * lines) << "no stray lines";
}

TEST_F(LoggerAgentTest, ThreadsOfOneProcessWithRotationBySize)
{
    constexpr int kThreads = 4;
    constexpr int kLines = 800;
    LoggerAgent agent;
    setRotationScheme(ROTATE_SIZE);
    setRotationSizeLimit(1);
    agent.open(log);
    std::atomic<int> failed{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                std::string line = "L T-" + std::to_string(t) + "-" + std::to_string(i) + " ";
                line.append(900, 'q');
                if (!agent.write(line + " E")) {
                    ++failed;
                }
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    EXPECT_EQ(failed.load(), 0);
    EXPECT_GE(FileUtils::listDirectory(dir.path, "x_*.log").size(), 2u) << "about 3 MiB at 1 MiB per file";
    expectEveryLineOnce(dir.path, {"T"}, kThreads, kLines);
}

TEST_F(LoggerAgentTest, FourProcessesAppendToOneFile)
{
    constexpr int kProcesses = 4;
    constexpr int kThreads = 3;
    constexpr int kLines = 250;
    const std::string base = "VorlixLogWriters-" + std::to_string(GetCurrentProcessId());
    auto go = makeEvent(base + "-go");
    std::vector<std::unique_ptr<TestSupport::ChildProcess>> children;
    std::vector<std::string> tags;
    for (int p = 0; p < kProcesses; ++p) {
        tags.push_back("P" + std::to_string(p));
        children.emplace_back(startChild("write|" + log + "|" + tags.back() + "|" + std::to_string(kThreads) +
                                         "|" + std::to_string(kLines) + "|" + base));
        ASSERT_TRUE(children.back());
    }
    SetEvent(go.get());
    for (auto& child : children) {
        uint32_t code = 99;
        ASSERT_TRUE(child->wait(60s, code));
        EXPECT_EQ(code, 0u) << "a child dropped lines";
    }
    expectEveryLineOnce(dir.path, tags, kThreads, kLines);
    // About 2.7 MiB at a 1 MiB limit: rotations were tried between the lines. While other
    // processes hold the file open its rename fails, and each attempt leaves its error note.
    int attempts = 0;
    for (const DirEntry& e : FileUtils::listDirectory(dir.path, "x*.log")) {
        const std::string text = readAll(dir.file(e.name));
        for (size_t at = text.find("Rotation process started"); at != std::string::npos;
             at = text.find("Rotation process started", at + 1)) {
            ++attempts;
        }
    }
    EXPECT_GE(attempts, 1);
}

// A log file opened two days ago, with the init and time bits and a daily period: its first local
// midnight is long past, so the start of the process finds both conditions met. Computing the
// schedule before the first check moves the boundary into the future, and since the init condition
// is spent after the first line, such a scheme never rotates at all.
TEST_F(LoggerAgentTest, InitAndTimeRotateAnOverdueFileAtStart)
{
    TestSupport::writeBytes(log, "old\r\n");
    const DateTime twoDaysAgo(DateTime().seconds() - 2 * 86400);
    setProduct("LogOpened", twoDaysAgo.toString(true, true, false));
    setProduct("LogCounter", "4");
    LoggerAgent agent;
    setRotationScheme(ROTATE_INIT | ROTATE_TIME);
    setRotationPeriod(TimeSpan(86400));
    agent.open(log);
    ASSERT_TRUE(agent.write("line"));
    EXPECT_EQ(FileUtils::listDirectory(dir.path, "x_*_4.log").size(), 1u)
        << "an overdue file is kept at start: " << readAll(log);
    EXPECT_EQ(product("LogCounter"), "5");
}

// The time bit switched on by a reconfiguration that keeps the period and the size limit: only
// those two are watched for changes, so the schedule of the open file is never computed and the
// file is not rotated by time until it is opened anew.
TEST_F(LoggerAgentTest, TimeBitSwitchedOnLaterStartsTheSchedule)
{
    LoggerAgent agent;
    setRotationScheme(ROTATE_SIZE);
    setRotationPeriod(TimeSpan(2));
    agent.open(log);
    ASSERT_TRUE(agent.write("first"));
    setRotationScheme(ROTATE_TIME); // a reconfiguration switches from "size" to "time"
    setRotationSizeLimit(10);       // unchanged
    ASSERT_TRUE(agent.write("second"));
    const DateTime due = agent.nextRotationTime();
    EXPECT_LT(due.seconds(), DateTime().seconds() + 10) << "no boundary was computed";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !(due > currentTime()); }, 5s));
    ASSERT_TRUE(agent.write("third"));
    EXPECT_EQ(FileUtils::listDirectory(dir.path, "x_*.log").size(), 1u) << "rotated once the period is over";
}

} // namespace
