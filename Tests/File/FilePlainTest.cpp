#include "File/FileBase.h"
#include "File/FileFaults.h"

#include "FileCodes.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

using namespace Vorlix;
using namespace TestSupport;

TEST(FilePlain, AccessCombinations)
{
    TempDir dir;
    const std::string path = dir.file("f.txt");
    writeBytes(path, "x");
    struct Case {
        uint16_t flags;
        int32_t code; // -1: opens
        const char* why;
    };
    const Case cases[] = {
        {FILE_READ | FILE_APPEND, FL_ACCESS_COMB, "read with append"},
        {FILE_READ | FILE_TRUNCATE, FL_ACCESS_COMB, "read with truncate"},
        {FILE_READ | FILE_CREATE, FL_ACCESS_COMB, "read with create"},
        {FILE_WRITE | FILE_TRUNCATE | FILE_APPEND, FL_ACCESS_COMB, "truncate with append"},
        {0, FL_ACCESS_COMB, "neither read nor write"},
        {FILE_CREATE, FL_ACCESS_COMB, "create alone"},
        {FILE_READ, -1, "read"},
        {FILE_WRITE | FILE_TRUNCATE | FILE_CREATE, -1, "the usual rewrite"},
        {FILE_READ | FILE_WRITE | FILE_APPEND, -1, "read and append"},
        {FILE_WRITE | FILE_NOLOCK | FILE_DIRECT, -1, "direct without lock"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FilePlain f(path);
        EXPECT_EQ(codeOf([&] { f.open(c.flags); }), c.code);
        EXPECT_EQ(f.isClosed(), c.code != -1);
        f.discard();
        EXPECT_FALSE(fileExists(path + ".lock"));
        EXPECT_FALSE(fileExists(path + ".tmp"));
        if ((c.flags & FILE_DIRECT) == 0) {
            EXPECT_EQ(readBytes(path), "x") << "no access without the working copy changed the file";
        }
        writeBytes(path, "x");
    }

    FilePlain missing(dir.file("none"));
    try {
        missing.open(FILE_READ);
        FAIL();
    } catch (const FileException& e) {
        EXPECT_EQ(e.code(), FL_EXISTS_NOT);
        EXPECT_EQ(e.text(), dir.file("none") + "-->File does not exist.");
        EXPECT_EQ(e.trace().size(), 1u);
    }

    FilePlain twice(path);
    twice.open(FILE_READ);
    EXPECT_EQ(codeOf([&] { twice.open(FILE_WRITE); }), FL_IS_OPEN);
    EXPECT_EQ(twice.readLine(), "x") << "the first access is intact";
}

TEST(FilePlain, CommitReplacesTheFileOnClose)
{
    TempDir dir;
    const std::string path = dir.file("conf.xml");
    writeBytes(path, "old\r\n");
    FilePlain f(path);
    f.open(FILE_WRITE | FILE_TRUNCATE | FILE_CREATE);
    EXPECT_TRUE(fileExists(path + ".lock"));
    EXPECT_TRUE(fileExists(path + ".tmp"));
    EXPECT_EQ(readBytes(path + ".tmp"), "");
    f.writeLine("new");
    EXPECT_EQ(f.writeBytes("ab\0c", 4), 4u);
    EXPECT_EQ(f.position(), 8);
    f.flush();
    EXPECT_EQ(readBytes(path), "old\r\n") << "the file keeps its content during the access";
    f.close();
    EXPECT_EQ(readBytes(path), std::string("new\nab\0c", 8));
    EXPECT_FALSE(fileExists(path + ".lock"));
    EXPECT_FALSE(fileExists(path + ".tmp"));
    f.close(); // closed: nothing happens
}

TEST(FilePlain, DiscardKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.file("conf.xml");
    writeBytes(path, "old");
    {
        FilePlain f(path);
        f.open(FILE_READ | FILE_WRITE);
        EXPECT_EQ(f.readLine(), "old") << "read-write starts from a copy of the file";
        f.write("more");
        f.discard();
    }
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_FALSE(fileExists(path + ".lock"));
    EXPECT_FALSE(fileExists(path + ".tmp"));

    const std::string fresh = dir.file("fresh.xml");
    FilePlain created(fresh);
    created.open(FILE_WRITE);
    EXPECT_TRUE(fileExists(fresh)) << "held open while the lock is taken";
    created.discard();
    EXPECT_FALSE(fileExists(fresh)) << "a file that did not exist before is removed";
}

TEST(FilePlain, DirectAppendAndDestructorCommit)
{
    TempDir dir;
    const std::string path = dir.file("log.txt");
    writeBytes(path, "one\n");
    {
        FilePlain f(path);
        f.open(FILE_WRITE | FILE_APPEND | FILE_DIRECT);
        EXPECT_FALSE(fileExists(path + ".tmp"));
        EXPECT_EQ(f.position(), 4);
        f.writeLine("two");
        f.flush();
        EXPECT_EQ(readBytes(path), "one\ntwo\n") << "direct writes go to the file itself";
    }
    EXPECT_FALSE(fileExists(path + ".lock"));
    {
        FilePlain f(path);
        f.open(FILE_WRITE);
        f.write("replaced");
    } // destroyed while open: the working copy is committed
    EXPECT_EQ(readBytes(path), "replaced");
    EXPECT_FALSE(fileExists(path + ".tmp"));
}

TEST(FilePlain, ReadingOperations)
{
    TempDir dir;
    const std::string path = dir.file("r.txt");
    writeBytes(path, std::string("ab\0cd\nline2", 11));
    FilePlain f(path);
    EXPECT_EQ(codeOf([&] { f.readLine(); }), FL_IS_CLOSED);
    f.open(FILE_READ);
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(f.readBytes(buffer, 6), 6u);
    EXPECT_STREQ(buffer, "ab") << "the copy stops at the first NUL";
    EXPECT_EQ(f.position(), 6);
    EXPECT_EQ(f.readLine(), "line2");
    EXPECT_TRUE(f.eof());
    EXPECT_EQ(codeOf([&] { f.readBytes(buffer, 1); }), FL_EOF);
    EXPECT_EQ(codeOf([&] { f.readLine(); }), FL_EOF);
    EXPECT_EQ(f.seek(-5, 2), 6);
    std::string out;
    EXPECT_TRUE(f.read(out, 5));
    EXPECT_EQ(out, "line2");
    EXPECT_EQ(f.seek(1, 0), 1);
    EXPECT_EQ(f.seek(2, 1), 3);
    EXPECT_EQ(f.tell(), 3);
    EXPECT_EQ(codeOf([&] { f.seek(-100, 1); }), FL_POSITION);
    EXPECT_EQ(codeOf([&] { f.flush(); }), FL_CANNOT_WRITE);
    EXPECT_EQ(codeOf([&] { f.writeBytes("x", 1); }), FL_CANNOT_WRITE);
    try {
        f.write("x");
        FAIL();
    } catch (const FileException& e) {
        EXPECT_EQ(e.code(), FL_WRITE);
        EXPECT_EQ(e.text(), path + " - BFile error: 8 - Access: 1");
    }
    f.discard();
    EXPECT_EQ(readBytes(path), std::string("ab\0cd\nline2", 11))
        << "discard of a read access changes nothing";

    FilePlain writer(dir.file("w.txt"));
    writer.open(FILE_WRITE | FILE_NOLOCK);
    EXPECT_FALSE(fileExists(dir.file("w.txt.lock")));
    EXPECT_EQ(codeOf([&] { writer.readBytes(buffer, 1); }), FL_CANNOT_READ);
    EXPECT_EQ(codeOf([&] { writer.readLine(); }), FL_CANNOT_READ);
    writer.close();
    EXPECT_EQ(codeOf([&] { writer.seek(0, 0); }), FL_IS_CLOSED);
    EXPECT_EQ(codeOf([&] { writer.writeBytes("x", 1); }), FL_IS_CLOSED);
    EXPECT_EQ(codeOf([&] { writer.flush(); }), FL_IS_CLOSED);
}

TEST(FilePlain, LockedByAnotherObject)
{
    TempDir dir;
    const std::string path = dir.file("shared.xml");
    writeBytes(path, "v1");
    FilePlain first(path);
    first.open(FILE_WRITE);
    FilePlain second(path);
    EXPECT_EQ(codeOf([&] { second.open(FILE_WRITE); }), FL_IS_LOCKED);
    EXPECT_TRUE(second.isClosed());
    second.open(FILE_READ); // reading takes no lock
    EXPECT_EQ(second.readLine(), "v1");
    second.close();
    first.write("v2");
    first.close();
    second.open(FILE_WRITE | FILE_APPEND);
    second.write("+");
    second.close();
    EXPECT_EQ(readBytes(path), "v2+");
}

TEST(FilePlain, ReusedObjectJudgesEachAccessOnItsOwn)
{
    // A lock object left from an earlier write access must not make a later access act as if it
    // held the lock: discarding a read, or a failed open, must never remove the file.
    TempDir dir;
    const std::string path = dir.file("reused.txt");
    struct Case {
        uint16_t firstAccess;
        const char* why;
    };
    const Case cases[] = {
        {FILE_WRITE, "after a locked write that created the file"},
        {FILE_WRITE | FILE_APPEND | FILE_NOLOCK, "after an unlocked append"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        DeleteFileA(path.c_str());
        FilePlain f(path);
        f.open(c.firstAccess);
        f.write("kept");
        f.close();

        f.open(FILE_READ);
        f.discard();
        EXPECT_EQ(readBytes(path), "kept") << "read + discard";

        f.open(FILE_WRITE | FILE_APPEND | FILE_NOLOCK);
        f.discard();
        EXPECT_EQ(readBytes(path), "kept") << "unlocked append + discard";

        {
            // Held without sharing, as another process would: the read cannot open the file.
            FileHandle holder(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder.valid());
            EXPECT_EQ(codeOf([&] { f.open(FILE_READ); }), FL_CANNOT_OPEN);
        }
        EXPECT_EQ(readBytes(path), "kept") << "failed open";
        EXPECT_FALSE(fileExists(path + ".lock"));
    }
}

TEST(FilePlain, StaleWorkingCopyIsNotReused)
{
    // A crash left "<path>.tmp" behind; its bytes must not end up in the next version.
    struct Case {
        uint16_t flags;
        bool fileExists;
        const char* why;
    };
    const Case cases[] = {
        {FILE_WRITE | FILE_APPEND, false, "append to a missing file"},
        {FILE_READ | FILE_WRITE, false, "read-write of a missing file"},
        {FILE_READ | FILE_WRITE | FILE_APPEND, false, "read-append of a missing file"},
        {FILE_WRITE | FILE_APPEND, true, "append to an existing file"},
        {FILE_WRITE, true, "rewrite"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        const std::string path = dir.file("f.txt");
        writeBytes(path + ".tmp", "STALE");
        if (c.fileExists) {
            writeBytes(path, "old-");
        }
        FilePlain f(path);
        f.open(c.flags);
        f.write("new");
        f.close();
        const bool appends = (c.flags & FILE_APPEND) != 0;
        EXPECT_EQ(readBytes(path), c.fileExists && appends ? "old-new" : "new");
        EXPECT_FALSE(fileExists(path + ".tmp"));
    }
}

TEST(FilePlain, ReadWriteCreatesAMissingFile)
{
    // Every write access creates a missing file, also read-write without truncation.
    struct Case {
        uint16_t flags;
        const char* why;
    };
    const Case cases[] = {
        {FILE_READ | FILE_WRITE, "read-write"},
        {FILE_READ | FILE_WRITE | FILE_CREATE, "read-write with create"},
        {FILE_READ | FILE_WRITE | FILE_DIRECT, "read-write, direct"},
        {FILE_READ | FILE_WRITE | FILE_NOLOCK, "read-write without lock"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        const std::string path = dir.file("new.txt");
        FilePlain f(path);
        f.open(c.flags);
        EXPECT_TRUE(f.eof()) << "starts empty";
        f.write("made");
        f.close();
        EXPECT_EQ(readBytes(path), "made");
        EXPECT_FALSE(fileExists(path + ".tmp"));

        DeleteFileA(path.c_str());
        f.open(c.flags);
        f.discard();
        EXPECT_EQ(fileExists(path), (c.flags & FILE_NOLOCK) != 0)
            << "a locked access removes the file it created; an unlocked one leaves the path alone";
    }
}

TEST(FilePlainConcurrent, TwoAppendingWritersKeepEveryCommittedLine)
{
    // Each writer appends one line per access through the working copy and retries while the
    // other holds the lock. Every access whose close succeeded must still be in the file.
    TempDir dir;
    const std::string path = dir.file("shared.txt");
    writeBytes(path, "");
    std::atomic<int> committed{0};
    std::atomic<int> unexpected{0};
    std::atomic<int> lastUnexpected{0};
    auto writer = [&](int id) {
        for (int n = 0; n < 40; ++n) {
            for (int attempt = 0; attempt < 2000; ++attempt) {
                FilePlain file(path);
                const int32_t code = codeOf([&] { file.open(FILE_WRITE | FILE_APPEND); });
                if (code == FL_IS_LOCKED || code == FL_CANNOT_LOCK || code == FL_CANNOT_OPEN ||
                    code == FL_CANNOT_COPY) {
                    continue;
                }
                if (code != -1) {
                    lastUnexpected = code;
                    ++unexpected;
                    break;
                }
                const int32_t closing = codeOf([&] {
                    file.write("w" + std::to_string(id) + "-" + std::to_string(n) + "\n");
                    file.close();
                });
                if (closing == -1) {
                    ++committed;
                } else {
                    lastUnexpected = closing;
                    ++unexpected;
                }
                break;
            }
        }
    };
    std::thread a(writer, 1);
    std::thread b(writer, 2);
    a.join();
    b.join();
    const std::string content = readBytes(path);
    const auto lines = std::count(content.begin(), content.end(), '\n');
    EXPECT_EQ(unexpected.load(), 0) << "last code " << lastUnexpected.load();
    EXPECT_EQ(lines, committed.load()) << "committed appends were lost";
}

TEST(FilePlainDirect, DirectAppendRecoversFromAPassingWriteFailure)
{
    // The log file's access (write, create, append, direct, no lock) stays open for many lines.
    // One line that could not be written is reported; the lines after it land, and closing the
    // file then reports nothing more.
    TempDir dir;
    const std::string path = dir.file("log.txt");
    FilePlain file(path);
    file.open(FILE_WRITE | FILE_CREATE | FILE_APPEND | FILE_DIRECT | FILE_NOLOCK);
    file.writeLine("one");
    {
        FileFaults::Plan full;
        full.pathEndsWith = "log.txt";
        full.writeBudget = 0;
        const FileFaults::ScopedPlan plan(full);
        EXPECT_EQ(codeOf([&] { file.writeLine("lost"); }), FL_WRITE);
    }
    file.writeLine("two");
    EXPECT_EQ(codeOf([&] { file.close(); }), -1) << "close repeats a failure already reported";
    EXPECT_EQ(readBytes(path), "one\ntwo\n");
}

TEST(FilePlainDirect, DirectWriterUnwindingKeepsWhatReachedTheFile)
{
    // A direct, locked access to a new file: the lines written and flushed are on disk. An
    // exception that passes the object must not delete them.
    TempDir dir;
    const std::string path = dir.file("direct.txt");
    try {
        FilePlain file(path);
        file.open(FILE_WRITE | FILE_APPEND | FILE_DIRECT);
        file.writeLine("kept");
        file.flush();
        ASSERT_EQ(readBytes(path), "kept\n");
        throw std::runtime_error("caller fails elsewhere");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(fileExists(path)) << "flushed direct writes were deleted by the destructor";
    EXPECT_FALSE(fileExists(path + ".lock"));
}
