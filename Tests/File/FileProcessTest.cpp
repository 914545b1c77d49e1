// Lock files and safe update across processes: the test program re-runs itself as the other
// process, chosen by --gtest_filter and told its part through the environment.
#include "File/FileBase.h"

#include "TempDir.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <random>

using namespace std::chrono_literals;
using namespace Vorlix;
using namespace TestSupport;

namespace {

const char* const kRoleVariable = "VORLIX_FILE_CHILD";

// The role and the path given to a child, or false in the parent.
bool childRole(std::string& role, std::string& path)
{
    const char* value = std::getenv(kRoleVariable);
    if (value == nullptr) {
        return false;
    }
    std::string text = value;
    const auto bar = text.find('|');
    role = text.substr(0, bar);
    path = text.substr(bar + 1);
    return true;
}

// A whole version of the file: recognisable from its first line, and long enough that writing it
// takes several buffer flushes.
std::string versionContent(int version)
{
    const std::string tag = std::to_string(version);
    std::string text = "version=" + tag + "\r\n";
    for (int i = 0; i < 2000; ++i) {
        text += "<Value name=\"v" + std::to_string(i) + "\">" + tag + "</Value>\r\n";
    }
    return text + "end=" + tag + "\r\n";
}

// The version a file holds, or -1 when it holds no version whole.
int versionOf(const std::string& content)
{
    if (content.compare(0, 8, "version=") != 0) {
        return -1;
    }
    const int version = std::atoi(content.c_str() + 8);
    return content == versionContent(version) ? version : -1;
}

void startChild(ChildProcess& child, const std::string& test, const std::string& role,
                const std::string& path)
{
    const std::string command =
        "\"" + programPath("FileProcessTests.exe") + "\" --gtest_filter=FileChild." + test;
    ASSERT_TRUE(child.start(command, kRoleVariable, role + "|" + path));
}

} // namespace

// Child: takes the write lock on the file, writes, says so by creating "<path>.ready", and waits
// to be ended from outside.
TEST(FileChild, HoldWriteLock)
{
    std::string role, path;
    if (!childRole(role, path)) {
        GTEST_SKIP() << "child role only";
    }
    FilePlain file(path);
    file.open(FILE_WRITE | FILE_TRUNCATE | FILE_CREATE);
    file.write("child");
    writeBytes(path + ".ready", "1");
    Sleep(60000);
}

// Child: rewrites the file with ever newer versions until it is killed.
TEST(FileChild, RewriteForever)
{
    std::string role, path;
    if (!childRole(role, path)) {
        GTEST_SKIP() << "child role only";
    }
    int version = versionOf(readBytes(path));
    for (;;) {
        FilePlain file(path);
        file.setLockPeriod(TimeSpan(1));
        try {
            file.open(FILE_WRITE | FILE_TRUNCATE | FILE_CREATE);
        } catch (const FileException&) {
            Sleep(50); // a lock left by the previous child: wait for it to expire
            continue;
        }
        file.write(versionContent(++version));
        file.close();
    }
}

TEST(FileAcrossProcesses, WriterIsRefusedWhileAnotherProcessHoldsTheLock)
{
    TempDir dir;
    const std::string path = dir.file("shared.xml");
    writeBytes(path, "before");
    ChildProcess child;
    startChild(child, "HoldWriteLock", "hold", path);
    ASSERT_TRUE(waitUntil([&] { return fileExists(path + ".ready"); }, 20s));

    FilePlain mine(path);
    mine.setLockPeriod(TimeSpan(1));
    try {
        mine.open(FILE_WRITE);
        FAIL() << "opened while another process holds the lock";
    } catch (const FileException& e) {
        EXPECT_EQ(e.code(), FL_IS_LOCKED);
    }
    EXPECT_EQ(readBytes(path), "before");

    // The holder ends without unlocking: its lock file stays until it has expired (30 s), and
    // only then may the next writer break it.
    child.kill();
    ASSERT_TRUE(fileExists(path + ".lock"));
    try {
        mine.open(FILE_WRITE);
        FAIL() << "a lock that has not expired was broken";
    } catch (const FileException& e) {
        EXPECT_EQ(e.code(), FL_IS_LOCKED);
    }
    // Age the lock file instead of waiting half a minute: same holder, expiry in the past.
    std::string lockText = readBytes(path + ".lock");
    const std::string past = DateTime(DateTime().seconds() - 60).toString(true, true, false);
    lockText.replace(17, 16, past);
    writeBytes(path + ".lock", lockText);

    mine.open(FILE_WRITE);
    mine.write("after");
    mine.close();
    EXPECT_EQ(readBytes(path), "after");
    EXPECT_FALSE(fileExists(path + ".lock"));
}

TEST(FileAcrossProcesses, KilledWriterLeavesOldOrNewContentWhole)
{
    TempDir dir;
    const std::string path = dir.file("crash.xml");
    writeBytes(path, versionContent(0));

    std::mt19937 random(static_cast<unsigned>(GetTickCount()));
    std::uniform_int_distribution<int> killAfterMs(20, 300);
    const int runs = 30;
    int previous = 0;
    std::map<std::string, int> outcomes;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE(run);
        ChildProcess child;
        startChild(child, "RewriteForever", "rewrite", path);
        Sleep(static_cast<DWORD>(killAfterMs(random))); // a random moment, not a wait for a condition
        child.kill();

        const int found = versionOf(readBytes(path));
        ASSERT_GE(found, previous) << "the file holds no whole version";
        outcomes[found == previous ? "old content" : "new content"]++;
        outcomes[fileExists(path + ".lock") ? "lock file left" : "no lock file left"]++;

        // The next writer gets in once a left-over lock has expired (the child locks for 1 s).
        FilePlain next(path);
        const bool opened = waitUntil(
            [&] {
                try {
                    next.open(FILE_WRITE | FILE_TRUNCATE);
                    return true;
                } catch (const FileException&) {
                    return false;
                }
            },
            15s, 100ms);
        ASSERT_TRUE(opened) << "the next writer never got in";
        previous = found + 1000;
        next.write(versionContent(previous));
        next.close();
        ASSERT_EQ(versionOf(readBytes(path)), previous);
        EXPECT_FALSE(fileExists(path + ".tmp"));
    }
    std::cout << "[ crash runs ] " << runs << " runs:";
    for (const auto& o : outcomes) {
        std::cout << " " << o.first << "=" << o.second;
    }
    std::cout << std::endl;
}
