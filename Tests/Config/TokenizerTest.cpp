// The configuration format's token rules and the tokenizer over them.
#include "Config/Tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Vorlix::ConfTokenRules;
using Vorlix::Token;
using Vorlix::Tokenizer;

namespace {

// Every token of `source`: "+" and the text for significant ones, "-" and the text for blanks.
std::vector<std::string> tokensOf(const std::string& source)
{
    const ConfTokenRules rules;
    Tokenizer tokenizer(&source, &rules);
    std::vector<std::string> out;
    Token token;
    while (tokenizer.nextToken(token)) {
        out.push_back((token.significant ? "+" : "-") + token.text);
    }
    return out;
}

TEST(ConfTokenRules, SplitsEveryKindOfToken)
{
    struct Case {
        std::string source;
        std::vector<std::string> tokens;
        const char* why;
    };
    const Case cases[] = {
        {"", {}, "an empty source has no token"},
        {"abc def", {"+abc", "- ", "+def"}, "a blank ends a word and is a token of its own"},
        {"   x", {"-   ", "+x"}, "a run of one blank byte is one token"},
        {" \t\t ", {"- ", "-\t\t", "- "}, "a run holds one and the same blank byte only"},
        {"a\x01\x01"
         "b",
         {"+a", "-\x01\x01", "+b"},
         "control bytes are blanks"},
        {"a\r\nb", {"+a", "-\r", "+\n", "+b"}, "CR before LF is a blank, LF a significant delimiter"},
        {"a\x80\x81"
         "b",
         {"+a", "-\x80", "-\x81", "+b"},
         "bytes from 0x80 on are blanks, each its own run"},
        {"\"\x80 x\"", {"+\"\x80 x\""}, "inside quotes high bytes and spaces belong to the token"},
        {"a=(b){c}", {"+a", "+=", "+(", "+b", "+)", "+{", "+c", "+}"}, "each delimiter is one token"},
        {"==", {"+=", "+="}, "no two-character operator exists"},
        {"#x y\r\nz", {"+#x y\r", "+\n", "+z"}, "a comment at a token start keeps the CR before the LF"},
        {"#end", {"+#end"}, "a comment runs to the end of the source"},
        {"a#b c", {"+a#b", "- ", "+c"}, "\"#\" inside a word is an ordinary byte"},
        {"a//b\nc", {"+a", "+//b", "+\n", "+c"}, "\"//\" inside a word ends it and starts a comment"},
        {"//c\r\nx", {"+//c", "-\r", "+\n", "+x"}, "the CR before the LF is left out of a // comment"},
        {"//c", {"+//c"}, "a // comment at the end of the source"},
        {"a/*c\n*/b", {"+a", "+/*c\n*/", "+b"}, "\"/*\" inside a word ends it; the comment runs through */"},
        {"/*open", {"+/*open"}, "an unclosed /* comment runs to the end"},
        {"/*/", {"+/*/"}, "the opening star does not close the comment"},
        {"a/b c/", {"+a/b", "- ", "+c/"}, "a slash not followed by / or * is part of the word"},
        {"x\"q\"y",
         {"+x", "+\"q\"", "+y"},
         "a quote glued to a word ends it; the quoted string ends at its quote"},
        {"it's", {"+it", "+'s"}, "a single quote opens a string that runs to the end when unclosed"},
        {"'a\\'b'c", {"+'a\\'b'", "+c"}, "a backslash in quotes skips the quote after it"},
        {"\"a'b\"", {"+\"a'b\""}, "only the opening kind of quote closes"},
        {"\"abc", {"+\"abc"}, "an unclosed quote runs to the end of the source"},
        {"\"ab\\", {"+\"ab\\"}, "a backslash as the last byte of an open quote stops at the end"},
        {"\"\\", {"+\"\\"}, "an open quote and a lone backslash"},
        {"a\nb", {"+a", "+\n", "+b"}, "a line feed is a token of its own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(tokensOf(c.source), c.tokens);
    }
}

TEST(ConfTokenRules, StaysInsideTheSourceAndTheLimit)
{
    const ConfTokenRules rules;
    struct Case {
        std::string source;
        size_t start;
        size_t maxLength;
        size_t end;
        const char* why;
    };
    const size_t npos = std::string::npos;
    const Case cases[] = {
        {"abcdef", 1, 2, 3, "a word ends at the limit"},
        {"ab", 1, npos, 2, "the largest maximum does not wrap the limit around"},
        {"ab", 1, npos - 1, 2, "nor does a maximum just below it"},
        {"\"abcd\"", 0, 3, 3, "an open quote stops at the limit"},
        {"\"a\\\"", 0, 3, 3, "an escape before the limit does not skip past it"},
        {"#abc", 0, 2, 2, "a comment stops at the limit"},
        {"/*abc*/", 0, 4, 4, "a block comment closed beyond the limit stops at the limit"},
        {"a/", 0, 2, 2, "a slash at the limit has no byte after it"},
        {"a/*", 0, 2, 2, "the byte after the slash lies beyond the limit"},
        {"    ", 1, 2, 3, "a blank run stops at the limit"},
        {"ab", 2, npos, npos, "no token starts at the end"},
        {"ab", 7, npos, npos, "nor past it"},
        {" ab", 0, 0, npos, "a maximum of no bytes holds no token"},
        {"#ab", 0, 0, npos, "not even a comment"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        bool significant = false;
        EXPECT_EQ(rules.findTokenEnd(c.source, significant, c.start, c.maxLength), c.end);
    }
}

// Rules that claim a token ends where it started, or beyond the source.
class BrokenRules : public Vorlix::TokenRules {
public:
    explicit BrokenRules(size_t answerOffset) : offset(answerOffset) {}
    size_t findTokenEnd(const std::string&, bool& significant, size_t start, size_t) const override
    {
        significant = true;
        return start + offset;
    }

private:
    size_t offset;
};

TEST(Tokenizer, TracksPositionsAndStopsOnRulesThatMakeNoProgress)
{
    const std::string source = "ab = {";
    const ConfTokenRules rules;
    Tokenizer tokenizer(&source, &rules);
    Token token;
    ASSERT_TRUE(tokenizer.nextToken(token));
    EXPECT_EQ(tokenizer.position(), 2u);
    ASSERT_TRUE(tokenizer.nextToken(token));
    ASSERT_TRUE(tokenizer.nextToken(token));
    EXPECT_EQ(token.text, "=");
    EXPECT_EQ(tokenizer.previousPosition(), 3u);
    EXPECT_EQ(tokenizer.position(), 4u);
    while (tokenizer.nextToken(token)) {
    }
    EXPECT_EQ(tokenizer.position(), source.size());
    EXPECT_FALSE(tokenizer.nextToken(token)) << "the end stays the end";

    const BrokenRules stuck(0);
    Tokenizer stalled(&source, &stuck);
    EXPECT_FALSE(stalled.nextToken(token)) << "a token of no bytes would never end";
    const BrokenRules overshoot(100);
    Tokenizer beyond(&source, &overshoot);
    EXPECT_FALSE(beyond.nextToken(token)) << "a token may not reach past the source";

    Tokenizer empty(nullptr, &rules);
    EXPECT_FALSE(empty.nextToken(token));
    Tokenizer noRules(&source, nullptr);
    EXPECT_FALSE(noRules.nextToken(token));
}

} // namespace
