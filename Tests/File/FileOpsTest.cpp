#include "File/FileOps.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Vorlix;
using namespace TestSupport;

TEST(FileUtils, PathTexts)
{
    struct Case {
        std::string path;
        std::string directory, fileName, ext, withoutExt;
        const char* why;
    };
    const Case cases[] = {
        {"C:\\a\\b.txt", "C:\\a\\", "b.txt", "txt", "C:\\a\\b", "plain"},
        {"C:/a/b", "C:/a/", "b", "", "C:/a/b", "forward slashes, no extension"},
        {"C:\\v1.2\\file", "C:\\v1.2\\", "file", "2\\file", "C:\\v1", "the only dot is in a directory"},
        {"name.tar.gz", "", "name.tar.gz", "gz", "name.tar", "no directory"},
        {"dir\\", "dir\\", "", "", "dir\\", "trailing separator"},
        {"", "", "", "", "", "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(FileUtils::directoryPart(c.path), c.directory);
        EXPECT_EQ(FileUtils::fileNamePart(c.path), c.fileName);
        EXPECT_EQ(FileUtils::extension(c.path), c.ext);
        std::string p = c.path;
        EXPECT_EQ(FileUtils::splitExtension(p), c.ext);
        EXPECT_EQ(p, c.withoutExt);
    }
}

TEST(FileUtils, SeparatorTexts)
{
    struct Case {
        std::string input;
        std::string normalized, stripped, withTrailing;
    };
    const Case cases[] = {
        {"C:/a//b\\\\c/", "C:\\a\\b\\c\\", "C:/a//b\\\\c", "C:/a//b\\\\c/"},
        {"\\\\server\\share", "\\\\server\\share", "\\\\server\\share", "\\\\server\\share\\"},
        {"\\\\\\x", "\\\\x", "\\\\\\x", "\\\\\\x\\"},
        {"\\", "\\", "\\", "\\"},
        {"/", "/", "/", "/"},
        {"a\\\\\\", "a\\", "a", "a\\\\\\"},
        {"", "", "", "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::string n = c.input, s = c.input, t = c.input;
        FileUtils::normalizeSeparators(n);
        FileUtils::stripTrailingSeparators(s);
        FileUtils::addTrailingSeparator(t);
        EXPECT_EQ(n, c.normalized);
        EXPECT_EQ(s, c.stripped);
        EXPECT_EQ(t, c.withTrailing);
    }
}

TEST(FileOps, ExistsAndInfo)
{
    TempDir dir;
    writeBytes(dir.file("a.txt"), "12345");
    struct Case {
        std::string path;
        bool exists;
        const char* why;
    };
    const Case cases[] = {
        {dir.path, true, "directory"},
        {dir.path + "\\", false, "directory with a trailing separator"},
        {dir.file("a.txt"), true, "file"},
        {dir.file("*.txt"), true, "a pattern that matches"},
        {dir.file("b.txt"), false, "missing"},
        {"", false, "empty"},
        {"C:", true, "a drive"},
        {"Q:", false, "an absent drive letter"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(FileOps::exists(c.path), c.exists) << c.path;
    }

    FileInfo info;
    ASSERT_TRUE(FileOps::fileInfo(dir.file("a.txt"), info));
    EXPECT_TRUE(info.exists);
    EXPECT_EQ(info.size, 5u);
    EXPECT_EQ(FileUtils::fileSize(dir.file("a.txt")), 5u);
    EXPECT_EQ(FileUtils::fileSize(dir.file("none")), 0u);
    EXPECT_EQ(info.fullPath, dir.file("a.txt"));
    EXPECT_EQ(info.attributes & ATTR_DIRECTORY, 0);
    EXPECT_GE(info.lastWrite.year, 2020);
    EXPECT_EQ(info.lastWrite.isLocal, 0);
    ASSERT_TRUE(FileOps::fileInfo(dir.path, info));
    EXPECT_NE(info.attributes & ATTR_DIRECTORY, 0);
    FileInfo missing;
    missing.exists = true;
    EXPECT_FALSE(FileOps::fileInfo(dir.file("none"), missing));
    EXPECT_FALSE(missing.exists);
}

TEST(FileOps, ListDirectory)
{
    TempDir dir;
    writeBytes(dir.file("one.mess"), "1");
    writeBytes(dir.file("two.mess"), "2");
    writeBytes(dir.file("other.txt"), "3");
    auto all = FileUtils::listDirectory(dir.path + "\\", "*");
    auto names = [](const std::vector<DirEntry>& entries) {
        std::vector<std::string> n;
        for (const auto& e : entries) {
            n.push_back(e.name + (e.isFile ? ":f" : ":d"));
        }
        std::sort(n.begin(), n.end());
        return n;
    };
    EXPECT_EQ(names(all),
              (std::vector<std::string>{"..:d", ".:d", "one.mess:f", "other.txt:f", "two.mess:f"}));
    EXPECT_EQ(names(FileUtils::listDirectory(dir.path, "*.mess")),
              (std::vector<std::string>{"one.mess:f", "two.mess:f"}));
    EXPECT_TRUE(FileUtils::listDirectory(dir.path, "*.none").empty());
}

TEST(FileOps, CopyMoveRemove)
{
    TempDir dir;
    const std::string a = dir.file("a"), b = dir.file("b");
    writeBytes(a, "A");
    writeBytes(b, "B");
    EXPECT_FALSE(FileUtils::copyFile(a, b, false));
    EXPECT_EQ(readBytes(b), "B");
    EXPECT_TRUE(FileUtils::copyFile(a, b, true));
    EXPECT_EQ(readBytes(b), "A");
    writeBytes(a, "A2");
    EXPECT_FALSE(FileUtils::moveFile(a, b, false));
    EXPECT_TRUE(FileUtils::moveFile(a, b, true));
    EXPECT_EQ(readBytes(b), "A2");
    EXPECT_FALSE(fileExists(a));

    ASSERT_TRUE(FileOps::setAttributes(b, ATTR_READONLY | ATTR_DIRECTORY));
    FileInfo info;
    ASSERT_TRUE(FileOps::fileInfo(b, info));
    EXPECT_NE(info.attributes & ATTR_READONLY, 0);
    EXPECT_FALSE(FileUtils::removeFile(b, false));
    EXPECT_TRUE(fileExists(b));
    EXPECT_TRUE(FileUtils::removeFile(b, true));
    EXPECT_FALSE(fileExists(b));
    EXPECT_FALSE(FileUtils::removeFile(b, true));
}

TEST(FileOps, CreateParentDirectories)
{
    TempDir dir;
    const std::string file = dir.path + "\\x\\y\\file.txt";
    EXPECT_TRUE(FileUtils::createParentDirectories(file));
    EXPECT_TRUE(FileOps::exists(dir.path + "\\x\\y"));
    EXPECT_FALSE(FileOps::exists(file));
    EXPECT_TRUE(FileUtils::createParentDirectories(dir.path + "\\p\\q\\"));
    EXPECT_TRUE(FileOps::exists(dir.path + "\\p\\q"));
    EXPECT_TRUE(FileUtils::createParentDirectories(""));
    EXPECT_TRUE(FileOps::createDirectory(dir.file("single")));
    EXPECT_FALSE(FileOps::createDirectory(dir.file("single")));
}

TEST(FileOps, CreateParentDirectoriesStopsAtRoots)
{
    TempDir dir;
    // "\" names the root of the current drive: work from the test directory's drive.
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path.c_str()));
    const std::string rooted = "\\vorlix-rooted-" + std::to_string(GetCurrentProcessId());
    struct Case {
        std::string path;
        bool result;
        const char* why;
    };
    const Case cases[] = {
        {"\\", true, "a lone root has nothing above it"},
        {"\\sentinel.log", true, "a file at the root needs nothing"},
        {rooted + "\\logs\\sentinel.log", true, "rooted path: made below the current drive's root"},
        {"\\\\nosuchserver\\share\\dir\\f.log", false, "a share that is not there"},
        {"//nosuchserver/share/dir/f.log", false, "the same with forward slashes"},
        {"\\\\nosuchserver\\share\\f.log", true, "directly in a share: nothing to make"},
        {"Q:\\no\\such\\drive.log", false, "a drive that is not there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(FileUtils::createParentDirectories(c.path), c.result);
    }
    EXPECT_TRUE(FileOps::exists(rooted + "\\logs"));
    RemoveDirectoryA((rooted + "\\logs").c_str());
    RemoveDirectoryA(rooted.c_str());
    SetCurrentDirectoryA(previous);
}
