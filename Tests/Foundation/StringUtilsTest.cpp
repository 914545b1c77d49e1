#include "Foundation/StringUtils.h"

#include <gtest/gtest.h>

using namespace Vorlix;

TEST(StringUtils, Trim)
{
    struct Case {
        std::string input;
        std::string expected;
        size_t removed;
        const char* why;
    };
    const Case cases[] = {
        {"  ab \t\r\n", "ab", 6, "spaces and control characters"},
        {"\xE9"
         "abc",
         "abc", 1, "bytes above 0x7F are blanks"},
        {"a\xFF", "a", 1, "0xFF at the end"},
        {"   ", "", 3, "blanks only"},
        {"", "", 0, "empty"},
        {"a b", "a b", 0, "inner blank kept"},
        {std::string("\0x\0", 3), "x", 2, "zero bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string s = c.input;
        EXPECT_EQ(trim(s), c.removed);
        EXPECT_EQ(s, c.expected);
    }
    std::string left = "  x  ";
    EXPECT_EQ(trimLeft(left), 2u);
    EXPECT_EQ(left, "x  ");
    EXPECT_EQ(trimRight(left), 2u);
    EXPECT_EQ(left, "x");
}

TEST(StringUtils, CaseAndQuotes)
{
    EXPECT_EQ(lowerCopy("AbZ\xC4[@"), "abz\xC4[@"); // only A to Z change
    struct Case {
        std::string input;
        std::string expected;
        const char* why;
    };
    const Case cases[] = {
        {"\"a b\"", "a b", "double quotes"},
        {"'a'", "a", "apostrophes"},
        {"\"a'", "\"a'", "mixed kinds stay"},
        {"\"", "", "a lone quote is first and last"},
        {"''", "", "empty quoted"},
        {"a\"", "a\"", "only a closing quote"},
        {"", "", "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string s = c.input;
        unquote(s);
        EXPECT_EQ(s, c.expected);
    }
}

TEST(StringUtils, ReplaceCountPad)
{
    std::string s = "a/b/c";
    EXPECT_EQ(replaceChar(s, '/', '\\'), 2u);
    EXPECT_EQ(s, "a\\b\\c");

    EXPECT_EQ(countChar('a', "banana", 0, 100), 3u);
    EXPECT_EQ(countChar('a', "banana", 2, 2), 1u);
    EXPECT_EQ(countChar('a', "banana", 6, 1), 0u);
    EXPECT_EQ(countChar('a', "banana", 99, 1), 0u);
    EXPECT_EQ(countChar('a', "banana", 1, static_cast<size_t>(-1)), 3u);

    std::string p = "ab";
    padRight(p, 5, ' ');
    EXPECT_EQ(p, "ab   ");
    padRight(p, 3, '.');
    EXPECT_EQ(p, "ab   ");
}

TEST(StringUtils, CutWalksFields)
{
    std::string s = "a,b,c";
    EXPECT_EQ(cut(s, ','), "a");
    EXPECT_EQ(cut(s, ','), "b");
    EXPECT_EQ(cut(s, ','), "c");
    EXPECT_EQ(s, "");
    EXPECT_EQ(cut(s, ','), "");
    std::string lead = ",x";
    EXPECT_EQ(cut(lead, ','), "");
    EXPECT_EQ(lead, "x");
}

TEST(StringUtils, Split)
{
    struct Case {
        std::string input;
        size_t maxCount;
        std::vector<std::string> expected;
        const char* why;
    };
    const size_t any = static_cast<size_t>(-1);
    const Case cases[] = {
        {"x|y", any, {"x", "y"}, "two parts"},
        {"x|y|", any, {"x", "y"}, "trailing separator adds nothing"},
        {"x||y", any, {"x", "", "y"}, "empty middle part"},
        {"|y", any, {"", "y"}, "leading separator"},
        {"a|b|c", 2, {"a", "b|c"}, "last part takes the rest"},
        {"a|b|c", 1, {"a|b|c"}, "one part"},
        {"", any, {}, "empty text"},
        {"|", any, {""}, "separator alone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> parts{"stale"};
        split(c.input, '|', parts, c.maxCount);
        EXPECT_EQ(parts, c.expected);
    }
}

TEST(StringUtils, MatchesAtAndIntToString)
{
    EXPECT_TRUE(matchesAt("abcdef", "cd", 2));
    EXPECT_FALSE(matchesAt("abcdef", "cd", 3));
    EXPECT_FALSE(matchesAt("abcdef", "efg", 4));
    EXPECT_TRUE(matchesAt("abc", "", 3));
    EXPECT_FALSE(matchesAt("abc", "", 4));
    EXPECT_FALSE(matchesAt("abc", "a", 99));

    EXPECT_EQ(intToString(-12), "-12");
    EXPECT_EQ(intToString(0), "0");
    EXPECT_EQ(intToString(INT32_MIN), "-2147483648");
}
