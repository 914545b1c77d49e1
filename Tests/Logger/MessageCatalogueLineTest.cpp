// MessageCatalogueLineTest.cpp - the line rules of message catalogue files, without files.
//
// Portable test code: runs under Wine and in the native sanitizer build.
#include "Logger/MessageCatalogue.h"

#include <gtest/gtest.h>

#include <string>

using Vorlix::MessageCatalogue;

TEST(MessageCatalogueLine, LinesAndTheirTexts)
{
    struct Case {
        const char* line;
        bool added;
        int32_t number;
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"", false, 0, nullptr, "an empty line is skipped"},
        {"// 3: comment", false, 3, nullptr, "a comment line is skipped"},
        {"/ 4: one slash", true, 0, "one slash", "one slash is no comment, and no number"},
        {"5: Watchdog started.", true, 5, "Watchdog started.", "number and text"},
        {"  6 :\t padded \r", true, 6, "padded", "both parts trimmed, the carriage return included"},
        {"7", true, 7, "", "no colon: the number with an empty text"},
        {"8: a: b", true, 8, "a: b", "only the first colon splits"},
        {"\xff\xff"
         "9: high bytes",
         true, 9, "high bytes", "bytes from 0x80 on are blanks before the number"},
        {"x: no number", true, 0, "no number", "no number reads as 0"},
        {"-10: negative", true, -10, "negative", "a sign is read"},
        {"99999999999: big", true, 2147483647, "big", "a number past the range is clamped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        MessageCatalogue catalogue;
        EXPECT_EQ(catalogue.addLine(3, c.line), c.added);
        std::string text = "~unchanged";
        if (c.text == nullptr) {
            EXPECT_EQ(catalogue.size(), 0u);
            EXPECT_FALSE(catalogue.lookup(3, c.number, text));
            EXPECT_EQ(text, "~unchanged");
        } else {
            EXPECT_TRUE(catalogue.lookup(3, c.number, text));
            EXPECT_EQ(text, c.text);
            EXPECT_FALSE(catalogue.lookup(4, c.number, text)) << "keyed by module too";
        }
    }
}

TEST(MessageCatalogueLine, FirstTextOfANumberWins)
{
    MessageCatalogue catalogue;
    EXPECT_TRUE(catalogue.addLine(1, "7: first"));
    EXPECT_TRUE(catalogue.addLine(1, "07: second"));
    EXPECT_TRUE(catalogue.addLine(2, "7: other module"));
    std::string text;
    ASSERT_TRUE(catalogue.lookup(1, 7, text));
    EXPECT_EQ(text, "first");
    ASSERT_TRUE(catalogue.lookup(2, 7, text));
    EXPECT_EQ(text, "other module");
    EXPECT_EQ(catalogue.size(), 2u);
}
