#include "Foundation/CommandLine.h"

#include <gtest/gtest.h>

using Vorlix::OptionList;
using Vorlix::splitCommandLine;

TEST(SplitCommandLine, Table)
{
    struct Case {
        const char* text;
        OptionList expected;
        const char* why;
    };
    const Case cases[] = {
        {"-c C:\\conf\\x.conf", {{"c", "C:\\conf\\x.conf"}}, "option with blank before value"},
        {"-cC:\\conf\\x.conf", {{"c", "C:\\conf\\x.conf"}}, "option glued to value"},
        {"-v 2 -r 'C:\\Program Files\\V'",
         {{"v", "2"}, {"r", "C:\\Program Files\\V"}},
         "single-quoted value with blank"},
        {"-r \"C:\\a b\"", {{"r", "C:\\a b"}}, "double-quoted value"},
        {"-a -b", {{"a", ""}, {"b", ""}}, "options without values"},
        {"-x", {{"x", ""}}, "option letter at the end"},
        {"word", {{"", "word"}}, "lone word"},
        {"-a x y", {{"a", "x"}, {"", "y"}}, "second value stands alone"},
        {"--root dir", {{"root", "dir"}}, "long option"},
        {"--root", {{"root", ""}}, "long option at the end"},
        {"-r C:\\a-b", {{"r", "C:\\a"}, {"b", ""}}, "unquoted value cut at a hyphen"},
        {"--ro-ot x", {{"", "ro"}, {"o", "t"}, {"", "x"}}, "long name cut at an inner hyphen"},
        {"ab'cd'", {{"", "ab"}, {"", "cd"}}, "quote right after a word"},
        {"-r 'C:\\a b", {{"r", "'C:\\a b"}}, "unclosed quote keeps the quote"},
        {"-", {{"", "-"}}, "lone hyphen"},
        {"ab-", {{"", "ab"}, {"", "-"}}, "final hyphen after a word"},
        {"-r \"\"", {{"r", ""}}, "empty quoted value"},
        {"'x' y", {{"", "x"}, {"", "y"}}, "quoted value without option"},
        {"-d \"it's\" -v 1", {{"d", "it's"}, {"v", "1"}}, "other quote inside quotes"},
        {"\t-c\r\nfile\n", {{"c", "file"}}, "tabs and line ends are blanks"},
        {"dummy", {{"", "dummy"}}, "the watchdog's prefix alone"},
        {"dummy-c C:\\x", {{"", "dummy"}, {"c", "C:\\x"}}, "prefix glued to the options"},
        {"", {}, "empty text"},
        {"  \t ", {}, "blanks only"},
        {"--", {}, "two hyphens at the end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        OptionList pairs{{"kept", "first"}};
        splitCommandLine(c.text, pairs);
        OptionList expected{{"kept", "first"}};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(pairs, expected);
    }
}
