#include "File/BFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using Vorlix::BFile;
using namespace TestSupport;

TEST(BFile, OpenModesAndCodes)
{
    TempDir dir;
    const std::string existing = dir.file("e.txt");
    writeBytes(existing, "abc");

    struct Case {
        std::string file;
        int32_t mode;
        bool opened;
        int32_t code;
        std::string contentAfter; // of the file once closed; "-" when it must not exist
        const char* why;
    };
    const Case cases[] = {
        {existing, 1, true, 0, "abc", "read an existing file"},
        {dir.file("none1"), 1, false, 4, "-", "read needs the file"},
        {existing, 2, true, 0, "", "write truncates"},
        {dir.file("new2"), 2, true, 0, "", "write creates"},
        {dir.file("new3"), 3, true, 0, "", "append creates"},
        {dir.file("none4"), 4, false, 4, "-", "read-write needs the file"},
        {dir.file("new5"), 5, true, 0, "", "read-write-truncate creates"},
        {dir.file("new6"), 6, true, 0, "", "read-write-append creates"},
        {dir.file("none7"), 7, false, 3, "-", "invalid mode"},
        {dir.file("none0"), 0, true, 0, "-", "mode 0 leaves the object closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        BFile f;
        EXPECT_EQ(f.open(c.file, c.mode), c.opened);
        EXPECT_EQ(f.lastError(), c.code);
        EXPECT_EQ(f.mode(), c.opened ? c.mode : 0);
        f.close();
        if (c.contentAfter == "-") {
            EXPECT_FALSE(fileExists(c.file));
        } else {
            EXPECT_EQ(readBytes(c.file), c.contentAfter);
        }
        writeBytes(existing, "abc");
    }

    BFile twice;
    ASSERT_TRUE(twice.open(existing, 1));
    EXPECT_FALSE(twice.open(existing, 4));
    EXPECT_EQ(twice.lastError(), 2);
    EXPECT_EQ(twice.mode(), 1) << "still open as before";
}

TEST(BFile, DirectionRulesPerMode)
{
    TempDir dir;
    const std::string path = dir.file("f");
    struct Case {
        int32_t mode;
        int32_t readCode;  // of read() and readLine()
        int32_t writeCode; // of write()
    };
    const Case cases[] = {{1, 0, 8}, {2, 6, 0}, {3, 6, 0}, {4, 0, 0}, {5, 10, 0}, {6, 6, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        writeBytes(path, "line\n");
        BFile f;
        ASSERT_TRUE(f.open(path, c.mode));
        std::string out = "stale";
        f.read(out, 2);
        EXPECT_EQ(f.lastError(), c.readCode);
        f.close();
        ASSERT_TRUE(f.open(path, c.mode));
        f.readLine();
        EXPECT_EQ(f.lastError(), c.readCode);
        f.write("x");
        EXPECT_EQ(f.lastError(), c.writeCode);
    }
    BFile closed;
    std::string out;
    EXPECT_FALSE(closed.read(out, 1));
    EXPECT_EQ(closed.lastError(), 1);
    EXPECT_FALSE(closed.write("x"));
    EXPECT_EQ(closed.lastError(), 1);
    EXPECT_EQ(closed.tell(2), -1);
    EXPECT_EQ(closed.lastError(), 1);
}

TEST(BFile, LineRules)
{
    TempDir dir;
    struct Case {
        std::string content;
        std::vector<std::string> lines;
        const char* why;
    };
    const Case cases[] = {
        {"a\r\nb", {"a", "b"}, "CR LF and a last line without end"},
        {"x\ry\n", {"xy"}, "a lone CR is dropped"},
        {"a\n\nb\n", {"a", "", "b"}, "an empty line"},
        {"\n", {""}, "one empty line"},
        {std::string(1000, 'q') + "\n", {std::string(1000, 'q')}, "long line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string path = dir.file("lines");
        writeBytes(path, c.content);
        BFile f;
        ASSERT_TRUE(f.open(path, 1));
        for (size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(f.readLine(), c.lines[i]);
            EXPECT_EQ(f.lastError(), 0);
            EXPECT_EQ(f.atEnd(2), i + 1 == c.lines.size());
        }
        EXPECT_EQ(f.readLine(), "");
        EXPECT_EQ(f.lastError(), 10);
    }

    const std::string empty = dir.file("empty");
    writeBytes(empty, "");
    BFile f;
    ASSERT_TRUE(f.open(empty, 1));
    EXPECT_TRUE(f.atEnd(2));
    std::string out = "stale";
    EXPECT_TRUE(f.read(out, 0)) << "a zero count succeeds even at the end";
    EXPECT_EQ(out, "");
    EXPECT_FALSE(f.read(out, 1));
    EXPECT_EQ(f.lastError(), 10);
    f.readLine();
    EXPECT_EQ(f.lastError(), 10);
}

TEST(BFile, ReadsSeeksAndWrites)
{
    TempDir dir;
    const std::string path = dir.file("data");
    writeBytes(path, std::string(3000, 'z') + "END");
    BFile f;
    ASSERT_TRUE(f.open(path, 4));
    EXPECT_EQ(f.size(), 3003);
    std::string out;
    ASSERT_TRUE(f.read(out, 2999));
    EXPECT_EQ(out.size(), 2999u);
    EXPECT_FALSE(f.atEnd(2));
    ASSERT_TRUE(f.read(out, 100)) << "more than remains gives what remains";
    EXPECT_EQ(out, "zEND");
    EXPECT_TRUE(f.atEnd(2));
    EXPECT_FALSE(f.read(out, 1));
    EXPECT_EQ(f.lastError(), 10);

    ASSERT_TRUE(f.seek(-3, BFile::ORIGIN_END, BFile::DIR_READ));
    EXPECT_EQ(f.tell(2), 3000);
    EXPECT_FALSE(f.atEnd(2));
    ASSERT_TRUE(f.seek(1, BFile::ORIGIN_CURRENT, BFile::DIR_READ));
    EXPECT_EQ(f.readString(2), "ND");

    EXPECT_FALSE(f.seek(-5, BFile::ORIGIN_START, BFile::DIR_WRITE));
    EXPECT_EQ(f.lastError(), 12);
    EXPECT_EQ(f.tell(2), 3003) << "a failed seek keeps the position";
    EXPECT_FALSE(f.seek(0, 9, BFile::DIR_READ));
    EXPECT_EQ(f.lastError(), 5);

    ASSERT_TRUE(f.seek(0, BFile::ORIGIN_START, BFile::DIR_WRITE));
    ASSERT_TRUE(f.write("AB"));
    ASSERT_TRUE(f.seek(0, BFile::ORIGIN_START, BFile::DIR_READ));
    EXPECT_EQ(f.readString(3), "ABz") << "reading after writing sees the write";
    f.close();
    EXPECT_EQ(readBytes(path).substr(0, 3), "ABz");

    BFile writer;
    ASSERT_TRUE(writer.open(path, 2));
    EXPECT_FALSE(writer.seek(0, BFile::ORIGIN_START, BFile::DIR_READ)) << "read seek refused in mode 2";
    EXPECT_EQ(writer.lastError(), 0);
    ASSERT_TRUE(writer.writeLine("xyz"));
    ASSERT_TRUE(writer.flush());
    EXPECT_EQ(writer.tell(2), 4);
    writer.close();
    EXPECT_EQ(readBytes(path), "xyz\n");
    EXPECT_FALSE(writer.seek(0, 0, 0));
    EXPECT_EQ(writer.lastError(), 1);

    BFile appender;
    ASSERT_TRUE(appender.open(path, 3));
    ASSERT_TRUE(appender.write("more"));
    appender.close();
    EXPECT_EQ(readBytes(path), "xyz\nmore");

    BFile fresh;
    EXPECT_FALSE(fresh.seek(0, 0, 2));
    EXPECT_EQ(fresh.lastError(), 1);
}

TEST(BFile, SeekBothAndAtEndKeepTheirPromises)
{
    TempDir dir;
    const std::string path = dir.file("s.txt");
    writeBytes(path, "0123456789abcdef");
    BFile f;
    ASSERT_TRUE(f.open(path, 4));
    ASSERT_TRUE(f.seek(5, BFile::ORIGIN_CURRENT, BFile::DIR_BOTH));
    EXPECT_EQ(f.tell(BFile::DIR_LAST), 5) << "a relative offset counts once for both positions";
    EXPECT_EQ(f.tell(BFile::DIR_READ), 5);
    ASSERT_TRUE(f.seek(2, BFile::ORIGIN_CURRENT, BFile::DIR_BOTH));
    EXPECT_EQ(f.tell(BFile::DIR_LAST), 7);
    EXPECT_EQ(f.readString(3), "789");

    EXPECT_FALSE(f.seek(0, 9, BFile::DIR_READ));
    EXPECT_EQ(f.lastError(), 5);
    for (const int32_t direction : {BFile::DIR_READ, BFile::DIR_WRITE, BFile::DIR_LAST}) {
        f.atEnd(direction);
        EXPECT_EQ(f.lastError(), 5) << "asking for the end leaves the last code alone";
    }
}
