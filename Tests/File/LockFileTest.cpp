#include "File/LockFile.h"

#include "Foundation/Exception.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace Vorlix;
using namespace TestSupport;

namespace {

std::vector<std::string> linesOf(const std::string& content)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(content);
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string lockText(const DateTime& created, const DateTime& expires, const std::string& owner)
{
    return created.toString(true, true, false) + "\n" + expires.toString(true, true, false) + "\n" + owner +
           "\noriginal\n";
}

} // namespace

TEST(LockFile, WritesFourLines)
{
    TempDir dir;
    const std::string path = dir.file("conf.xml");
    for (bool original : {true, false}) {
        SCOPED_TRACE(original);
        Vorlix::LockFile lock(path);
        EXPECT_FALSE(lock.isHeld());
        ASSERT_TRUE(lock.lock(TimeSpan(30), original));
        const std::string content = readBytes(path + ".lock");
        const auto lines = linesOf(content);
        ASSERT_EQ(lines.size(), 4u) << content;
        EXPECT_EQ(std::count(content.begin(), content.end(), '\r'), 0);
        const DateTime created(DateTime::parse(lines[0]));
        const DateTime expires(DateTime::parse(lines[1]));
        EXPECT_EQ(lines[0].size(), 16u);
        EXPECT_EQ(lines[0].back(), 'Z');
        EXPECT_EQ(expires.seconds() - created.seconds(), 30);
        ASSERT_EQ(lines[2].size(), 17u);
        EXPECT_EQ(lines[2][6], 'Z');
        for (size_t i = 7; i < 17; ++i) {
            EXPECT_GE(static_cast<unsigned char>(lines[2][i]), 32);
            EXPECT_LE(static_cast<unsigned char>(lines[2][i]), 125);
        }
        EXPECT_EQ(lines[2], lock.ownId());
        EXPECT_EQ(lines[3], original ? "original" : "missing");
        EXPECT_EQ(fileExists(path), original) << "the original form holds the file, creating it empty";
        EXPECT_FALSE(lock.lock(TimeSpan(30), original)) << "already held";

        Vorlix::LockFile other(path);
        EXPECT_TRUE(other.isHeld());
        EXPECT_EQ(other.ownerId(), lock.ownId());
        EXPECT_EQ(other.isOriginalForm(), original);
        EXPECT_FALSE(other.unlock()) << "another holder's valid lock";

        EXPECT_TRUE(lock.unlock());
        EXPECT_FALSE(fileExists(path + ".lock"));
        EXPECT_FALSE(Vorlix::LockFile(path).isHeld());
        DeleteFileA(path.c_str());
    }
}

TEST(LockFile, OriginalFormKeepsContent)
{
    TempDir dir;
    const std::string path = dir.file("keep.xml");
    writeBytes(path, "<old/>");
    Vorlix::LockFile lock(path);
    EXPECT_TRUE(lock.originalExisted());
    ASSERT_TRUE(lock.lock(TimeSpan(30), true));
    EXPECT_EQ(readBytes(path), "<old/>");
    EXPECT_TRUE(lock.unlock());
    EXPECT_EQ(readBytes(path), "<old/>");
}

TEST(LockFile, ExpiredAndEmptyLocksAreBroken)
{
    TempDir dir;
    const std::string path = dir.file("f");
    const DateTime past(DateTime().seconds() - 100);
    writeBytes(path + ".lock", lockText(past, past + TimeSpan(30), "123456Zabcdefghij"));
    Vorlix::LockFile expired(path);
    EXPECT_TRUE(expired.isHeld());
    EXPECT_EQ(expired.ownerId(), "123456Zabcdefghij");
    EXPECT_TRUE(expired.unlock());
    EXPECT_FALSE(fileExists(path + ".lock"));

    const DateTime future(DateTime().seconds() + 100);
    writeBytes(path + ".lock", lockText(future, future, "someone"));
    Vorlix::LockFile valid(path);
    EXPECT_FALSE(valid.unlock());
    EXPECT_TRUE(fileExists(path + ".lock"));

    writeBytes(path + ".lock", "");
    Vorlix::LockFile empty(path);
    EXPECT_TRUE(empty.isHeld());
    EXPECT_TRUE(empty.unlock()) << "an empty lock file expires at once";
    EXPECT_FALSE(fileExists(path + ".lock"));
}

TEST(LockFile, MalformedDateThrows)
{
    TempDir dir;
    const std::string path = dir.file("f");
    writeBytes(path + ".lock", "not a date\n");
    try {
        Vorlix::LockFile lock(path);
        FAIL() << "no exception";
    } catch (const TimeException& e) {
        EXPECT_EQ(e.code(), TM_INPUT);
        EXPECT_EQ(e.trace().size(), 2u) << e.fullText();
    }
}

TEST(LockFile, ExistingLockFileRefusesLock)
{
    TempDir dir;
    const std::string path = dir.file("f");
    Vorlix::LockFile first(path);
    Vorlix::LockFile second(path);
    ASSERT_TRUE(first.lock(TimeSpan(30), false));
    EXPECT_FALSE(second.lock(TimeSpan(30), false)) << "the lock file is created exclusively";
    EXPECT_TRUE(first.unlock());
}
