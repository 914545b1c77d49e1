// File objects under injected faults: a disk that fills up at the first byte, in the middle or at
// the closing hand-over, a failed copy onto the working copy and a lock file that cannot be
// written. Whatever fails, the file keeps its old bytes, nothing is left next to it and the caller
// hears of it.
#include "File/FileBase.h"
#include "File/FileFaults.h"

#include "FileCodes.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace Vorlix;
using namespace TestSupport;

namespace {

// Larger than the stream's buffer, so a budget in the middle is crossed by a real hand-over.
std::string newContent()
{
    std::string text;
    for (int i = 0; text.size() < 6000; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

struct WriteMode {
    uint16_t flags;
    const char* name;
};

const WriteMode kWorkingCopyModes[] = {
    {FILE_WRITE, "write"},
    {FILE_WRITE | FILE_TRUNCATE | FILE_CREATE, "rewrite (14)"},
    {FILE_WRITE | FILE_APPEND, "append"},
    {FILE_READ | FILE_WRITE, "read-write"},
    {FILE_READ | FILE_WRITE | FILE_TRUNCATE, "read-write, truncate"},
    {FILE_READ | FILE_WRITE | FILE_APPEND, "read-append"},
};

enum class Fault { FirstByte, Middle, AtClose };

FileFaults::Plan planFor(Fault fault, const std::string& target)
{
    FileFaults::Plan plan;
    plan.pathEndsWith = target;
    switch (fault) {
    case Fault::FirstByte:
        plan.writeBudget = 0;
        break;
    case Fault::Middle:
        plan.writeBudget = 2500;
        break;
    case Fault::AtClose:
        plan.failFlush = true;
        break;
    }
    return plan;
}

void expectUntouched(const std::string& path, bool existed, const std::string& old)
{
    if (existed) {
        EXPECT_EQ(readBytes(path), old) << "the file keeps every old byte";
    } else {
        EXPECT_FALSE(fileExists(path)) << "a file that did not exist is not left behind";
    }
    EXPECT_FALSE(fileExists(path + ".tmp")) << "no working copy left";
    EXPECT_FALSE(fileExists(path + ".lock")) << "no lock file left";
}

} // namespace

TEST(FileFaults, AFailedWriteNeverReplacesTheFile)
{
    const std::string old = "<old content>\r\n";
    const Fault faults[] = {Fault::FirstByte, Fault::Middle, Fault::AtClose};
    const char* faultNames[] = {"at the first byte", "in the middle", "at close"};
    for (const auto& mode : kWorkingCopyModes) {
        for (int f = 0; f < 3; ++f) {
            for (const bool existed : {true, false}) {
                // How the caller ends the access: close after the failure, or unwinding.
                for (const bool unwinds : {false, true}) {
                    SCOPED_TRACE(std::string(mode.name) + ", fault " + faultNames[f] +
                                 (existed ? ", existing file" : ", new file") +
                                 (unwinds ? ", unwinding" : ", close"));
                    TempDir dir;
                    const std::string path = dir.file("f.txt");
                    if (existed) {
                        writeBytes(path, old);
                    }
                    const FileFaults::ScopedPlan plan(planFor(faults[f], "f.txt.tmp"));
                    int32_t code = -1;
                    try {
                        FilePlain file(path);
                        file.open(mode.flags);
                        const std::string content = newContent();
                        code = codeOf([&] {
                            for (size_t at = 0; at < content.size(); at += 700) {
                                file.write(content.substr(at, 700));
                            }
                            if (unwinds) {
                                throw std::runtime_error("caller gives up");
                            }
                        });
                        if (!unwinds) {
                            const int32_t closing = codeOf([&] { file.close(); });
                            EXPECT_EQ(closing, faults[f] == Fault::AtClose ? FL_CANNOT_CLOSE : FL_WRITE);
                        } else if (code == -1) {
                            code = FL_WRITE; // the write failure, if any, was thrown as FL_WRITE
                        }
                    } catch (const std::runtime_error&) {
                        // the destructor ran while this was in flight
                    }
                    if (faults[f] != Fault::AtClose) {
                        EXPECT_EQ(code, FL_WRITE) << "the failed write reaches the caller";
                    }
                    expectUntouched(path, existed, old);
                }
            }
        }
    }
}

TEST(FileFaults, SetupFailuresLeaveNothingBehind)
{
    const std::string old = "keep me";
    struct Case {
        uint16_t flags;
        FileFaults::Plan plan;
        int32_t code;
        const char* why;
    };
    FileFaults::Plan copy;
    copy.pathEndsWith = "f.txt.tmp";
    copy.failCopy = true;
    FileFaults::Plan lockBytes;
    lockBytes.pathEndsWith = "f.txt.lock";
    lockBytes.writeBudget = 20;
    FileFaults::Plan lockFlush;
    lockFlush.pathEndsWith = "f.txt.lock";
    lockFlush.failFlush = true;
    const Case cases[] = {
        {FILE_READ | FILE_WRITE, copy, FL_CANNOT_COPY, "the copy onto the working copy fails"},
        {FILE_WRITE | FILE_APPEND, copy, FL_CANNOT_COPY, "append needs the copy too"},
        {FILE_WRITE | FILE_TRUNCATE | FILE_CREATE, lockBytes, FL_CANNOT_LOCK, "lock lines cut off"},
        {FILE_WRITE | FILE_DIRECT, lockFlush, FL_CANNOT_LOCK, "lock lines never reach the disk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        const std::string path = dir.file("f.txt");
        writeBytes(path, old);
        const FileFaults::ScopedPlan plan(c.plan);
        FilePlain file(path);
        EXPECT_EQ(codeOf([&] { file.open(c.flags); }), c.code);
        EXPECT_TRUE(file.isClosed());
        expectUntouched(path, true, old);
    }

    // A rewrite starts empty, so a copy that would fail is not even needed.
    TempDir dir;
    const std::string path = dir.file("f.txt");
    writeBytes(path, old);
    const FileFaults::ScopedPlan plan(copy);
    FilePlain file(path);
    file.open(FILE_WRITE | FILE_TRUNCATE | FILE_CREATE);
    file.write("new");
    file.close();
    EXPECT_EQ(readBytes(path), "new");
}

TEST(FileFaults, DirectWritesReportTheFailure)
{
    // Without a working copy the bytes that reached the file stay; the caller is told at the
    // failed write, and the access goes on.
    TempDir dir;
    const std::string path = dir.file("f.txt");
    FileFaults::Plan full;
    full.pathEndsWith = "f.txt";
    full.writeBudget = 4;
    const FileFaults::ScopedPlan plan(full);
    FilePlain file(path);
    file.open(FILE_WRITE | FILE_APPEND | FILE_NOLOCK);
    EXPECT_EQ(codeOf([&] { file.writeLine("0123456789"); }), FL_WRITE);
    EXPECT_EQ(codeOf([&] { file.close(); }), -1) << "the failure was reported already";
    EXPECT_TRUE(file.isClosed());
    EXPECT_FALSE(fileExists(path + ".lock"));

    // A locked direct append to a file it created keeps the lines that made it, closed
    // explicitly or by the destructor.
    for (const bool explicitClose : {true, false}) {
        SCOPED_TRACE(explicitClose ? "close" : "destructor");
        const std::string log = dir.file(explicitClose ? "a.log" : "b.log");
        FileFaults::Plan logFull;
        logFull.pathEndsWith = log;
        logFull.writeBudget = 6;
        const FileFaults::ScopedPlan logPlan(logFull);
        {
            FilePlain appender(log);
            appender.open(FILE_WRITE | FILE_APPEND | FILE_DIRECT);
            appender.writeLine("first");
            EXPECT_EQ(codeOf([&] { appender.writeLine("second"); }), FL_WRITE);
            if (explicitClose) {
                EXPECT_EQ(codeOf([&] { appender.close(); }), -1);
            }
        }
        EXPECT_EQ(readBytes(log).substr(0, 6), "first\n");
        EXPECT_FALSE(fileExists(log + ".lock"));
    }
}
