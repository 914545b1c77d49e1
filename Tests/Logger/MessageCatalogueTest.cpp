// MessageCatalogueTest.cpp - loading ".mess" catalogues: filter, rejected modules, duplicates,
// line rules, missing directories.
//
// Win32-only test code (real files in a temporary directory).
#include "Logger/MessageCatalogue.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Vorlix;

namespace {

class MessageCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDirectoryA(dir.file("LogMessages").c_str(), nullptr); }

    void catalogue(const std::string& name, const std::string& content)
    {
        TestSupport::writeBytes(dir.file("LogMessages\\" + name), content);
    }

    static std::vector<std::string> sorted(std::vector<std::string> names)
    {
        std::sort(names.begin(), names.end());
        return names;
    }

    TestSupport::TempDir dir;
    MessageCatalogue messages;
};

TEST_F(MessageCatalogueTest, LineRules)
{
    catalogue("ipc.mess", "// comment line\r\n"
                          "\r\n"
                          "12: twelve\r\n"
                          "  13 :  spaced text \t \r\n"
                          "12: second definition\r\n"
                          "14\r\n"
                          "15: a: b %s\r\n"
                          "-3: negative\r\n"
                          "\n"
                          "16:last line without end");
    catalogue("time.mess", "/\r\nabc: no digits\r\n");
    const CatalogueLoadResult r = messages.load(dir.path, "all");
    ASSERT_TRUE(r.ok) << r.errorText;
    EXPECT_EQ(r.errorText, "");
    EXPECT_TRUE(r.rejectedModules.empty());
    ASSERT_EQ(r.loadedModules.size(), 2u);
    for (size_t i = 0; i < r.loadedModules.size(); ++i) {
        EXPECT_EQ(r.messageCounts[i], r.loadedModules[i] == "ipc" ? 7 : 2) << r.loadedModules[i];
    }

    struct Case {
        int32_t module;
        int32_t number;
        bool found;
        const char* text;
        const char* why;
    } cases[] = {
        {6, 12, true, "twelve", "the first definition wins"},
        {6, 13, true, "spaced text", "number and text trimmed"},
        {6, 14, true, "", "a line without a colon is all number"},
        {6, 15, true, "a: b %s", "cut at the first colon only"},
        {6, -3, true, "negative", "a signed number"},
        {6, 16, true, "last line without end", "the last line needs no line end"},
        {6, 0, false, "", "comment and empty lines define nothing"},
        {4, 0, true, "", "a single slash is no comment; no digits give 0, and the first text stays"},
        {23, 12, false, "", "another module's number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string text = "untouched";
        EXPECT_EQ(messages.lookup(c.module, c.number, text), c.found);
        EXPECT_EQ(text, c.found ? std::string(c.text) : std::string("untouched"));
    }
}

TEST_F(MessageCatalogueTest, FilterAndRejectedModules)
{
    catalogue("Sentinel.mess", "1: started\r\n");
    catalogue("configuration.mess", "1: cannot read %s (%s)\r\n");
    catalogue("config.mess", "1: prefix of a module\r\n");
    catalogue("bogus.mess", "1: no such module\r\n");
    catalogue("notes.txt", "1: not a catalogue\r\n");
    CreateDirectoryA(dir.file("LogMessages\\ipc.mess").c_str(), nullptr);

    struct Case {
        std::string filter;
        std::vector<std::string> loaded;
        std::vector<std::string> rejected;
        const char* why;
    } cases[] = {
        {"all", {"Sentinel", "configuration"}, {"bogus", "config"}, "all known modules, any letter case"},
        {"core,configuration,sentinel",
         {"configuration"},
         {"Sentinel", "bogus", "config"},
         "the filter compares case-sensitively; a prefix is outside the table even when the filter holds it"},
        {"All", {}, {"Sentinel", "bogus", "config", "configuration"}, "\"all\" is exact"},
        {"xSentinelx", {"Sentinel"}, {"bogus", "config", "configuration"}, "a plain substring search"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MessageCatalogue fresh;
        const CatalogueLoadResult r = fresh.load(dir.path, c.filter);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(sorted(r.loadedModules), sorted(c.loaded));
        EXPECT_EQ(sorted(r.rejectedModules), sorted(c.rejected));
        EXPECT_EQ(r.messageCounts.size(), r.loadedModules.size());
        std::string text;
        EXPECT_EQ(fresh.lookup(23, 1, text), std::count(c.loaded.begin(), c.loaded.end(), "Sentinel") == 1);
    }
}

TEST_F(MessageCatalogueTest, DirectoryForms)
{
    catalogue("core.mess", "1: one\r\n");
    std::string slashes = dir.path;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    for (const std::string& path : {dir.path, dir.path + "\\", slashes + "/"}) {
        SCOPED_TRACE(path);
        MessageCatalogue fresh;
        const CatalogueLoadResult r = fresh.load(path, "all");
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.loadedModules, std::vector<std::string>{"core"});
    }
}

TEST_F(MessageCatalogueTest, EmptyAndMissingDirectories)
{
    const CatalogueLoadResult empty = messages.load(dir.path, "all");
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.loadedModules.empty());
    EXPECT_TRUE(empty.rejectedModules.empty());
    EXPECT_TRUE(empty.messageCounts.empty());

    const CatalogueLoadResult missing = messages.load(dir.file("nowhere"), "all");
    EXPECT_FALSE(missing.ok)
        << "a catalogue directory that is not there is a failure, not an empty catalogue";
    EXPECT_EQ(missing.errorText, "Unknown");
}

TEST_F(MessageCatalogueTest, ShippedCataloguesCoverTheProgramsMessages)
{
    const std::string installation = std::string(VORLIX_SOURCE_DIR) + "/examples/installation/Configuration";
    const CatalogueLoadResult r = messages.load(installation, "core,configuration,sentinel");
    ASSERT_TRUE(r.ok) << r.errorText;
    EXPECT_TRUE(r.rejectedModules.empty());
    struct Case {
        int32_t module;
        std::vector<int32_t> numbers;
    } cases[] = {
        {23, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {1, {1, 2, 3, 15}},
    };
    for (const auto& c : cases) {
        for (int32_t n : c.numbers) {
            std::string text;
            EXPECT_TRUE(messages.lookup(c.module, n, text)) << c.module << "." << n;
            EXPECT_FALSE(text.empty()) << c.module << "." << n;
        }
    }
}

} // namespace
