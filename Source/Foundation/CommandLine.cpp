// CommandLine.cpp - the command-line tokenizer.
//
// Portable: no platform headers. Options are one letter after a hyphen or a longer name after two
// hyphens; the text that follows, up to the next blank or between matching quotes, is the value.
// There is no escape character, and an unquoted value ends at a hyphen.
#include "Foundation/CommandLine.h"

namespace Vorlix {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

} // namespace

void splitCommandLine(const std::string& text, OptionList& pairs)
{
    std::string name;
    std::string value;
    bool betweenTokens = true;
    bool readingLongName = false;
    char quote = '\0';
    size_t tokenStart = 0;

    auto appendPair = [&]() {
        pairs.emplace_back(name, value);
        name.clear();
        value.clear();
    };

    const size_t length = text.size();
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];

        if (betweenTokens) {
            if (isBlank(c)) {
                continue;
            }
            if (c == '-' && !name.empty()) {
                appendPair(); // the pending option had no value
            }
            betweenTokens = false;
            tokenStart = i;
        }

        if (quote != '\0') {
            if (c == quote) {
                value = text.substr(tokenStart + 1, i - tokenStart - 1);
                appendPair();
                quote = '\0';
                betweenTokens = true;
            }
            continue;
        }

        if (readingLongName && isBlank(c)) {
            name = text.substr(tokenStart, i - tokenStart);
            readingLongName = false;
            betweenTokens = true;
            continue;
        }

        if (isBlank(c)) {
            if (i > tokenStart) {
                value = text.substr(tokenStart, i - tokenStart);
                appendPair();
            }
            betweenTokens = true;
        } else if (isQuote(c)) {
            if (i > tokenStart) {
                value = text.substr(tokenStart, i - tokenStart);
                appendPair();
            }
            readingLongName = false;
            quote = c;
            tokenStart = i;
        } else if (c == '-') {
            if (i > tokenStart) {
                value = text.substr(tokenStart, i - tokenStart);
                appendPair();
            }
            tokenStart = i;
            if (i + 1 < length) {
                if (text[i + 1] == '-') {
                    readingLongName = true;
                    tokenStart = i + 2;
                } else {
                    readingLongName = false;
                    name = std::string(1, text[i + 1]);
                    betweenTokens = true;
                }
                ++i; // the second hyphen or the option letter is consumed
            }
            // A hyphen that ends the text stays an open token of its own.
        }
    }

    if (!betweenTokens && tokenStart < length) {
        if (readingLongName) {
            name = text.substr(tokenStart);
        } else {
            value = text.substr(tokenStart);
        }
        appendPair();
    } else if (!name.empty()) {
        appendPair();
    }
}

} // namespace Vorlix
