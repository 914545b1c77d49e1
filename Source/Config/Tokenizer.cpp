// Tokenizer.cpp - the configuration format's token rules and the tokenizer that applies them.
//
// Portable: no platform headers (see Tokenizer.h).
#include "Config/Tokenizer.h"

#include <set>

namespace Vorlix {

namespace {

// Filled once by the first ConfTokenRules and only read afterwards; they live until the process
// ends.
struct ConfTables {
    std::string delimiters;
    std::set<std::string> operators;
};

const ConfTables& confTables()
{
    static const ConfTables tables{"=(){}\n", {"=", "(", ")", "{", "}", "\n"}};
    return tables;
}

bool isQuote(char byte)
{
    return byte == '"' || byte == '\'';
}

} // namespace

ConfTokenRules::ConfTokenRules()
{
    confTables();
}

// static
bool ConfTokenRules::isBlank(char byte)
{
    return static_cast<signed char>(byte) <= 32 && byte != '\n';
}

size_t ConfTokenRules::findTokenEnd(const std::string& source, bool& significant, size_t start,
                                    size_t maxLength) const
{
    const size_t size = source.size();
    if (start >= size || maxLength == 0) {
        return std::string::npos;
    }
    // Computed without adding to the start, so that a maximum of npos cannot wrap around.
    const size_t limit = (maxLength >= size - start) ? size : start + maxLength;
    const char first = source[start];

    if (isBlank(first)) {
        significant = false;
        size_t i = start + 1;
        while (i < limit && source[i] == first) {
            ++i;
        }
        return i;
    }

    significant = true;
    if (first == '#') {
        size_t i = start + 1;
        while (i < limit && source[i] != '\n') {
            ++i;
        }
        return i;
    }

    const ConfTables& tables = confTables();
    for (size_t i = start; i < limit; ++i) {
        const char current = source[i];
        const char after = (i + 1 < limit) ? source[i + 1] : ' ';

        if (isQuote(current)) {
            if (i != start) {
                return i;
            }
            size_t j = i + 1;
            while (j < limit && source[j] != current) {
                // An escape skips the byte after it, but never past the limit.
                j += (source[j] == '\\') ? 2 : 1;
            }
            return j < limit ? j + 1 : limit;
        }
        if (isBlank(current)) {
            return i;
        }
        if (current == '/' && i + 1 < limit && (after == '/' || after == '*')) {
            if (i != start) {
                return i;
            }
            if (after == '/') {
                size_t j = i + 2;
                while (j < limit && source[j] != '\n') {
                    ++j;
                }
                if (j < limit && source[j - 1] == '\r') {
                    --j;
                }
                return j;
            }
            const size_t close = source.find("*/", i + 2);
            return (close == std::string::npos || close + 2 > limit) ? limit : close + 2;
        }
        if (tables.delimiters.find(current) != std::string::npos) {
            if (i != start) {
                return i;
            }
            for (size_t length = 3; length >= 2; --length) {
                if (length <= limit - i && tables.operators.count(source.substr(i, length)) != 0) {
                    return i + length;
                }
            }
            return i + 1;
        }
    }
    return limit;
}

Tokenizer::Tokenizer(const std::string* text, const TokenRules* tokenRules) : source(text), rules(tokenRules)
{
}

Tokenizer::~Tokenizer()
{
    if (ownsRules) {
        delete rules;
    }
}

bool Tokenizer::nextToken(Token& token)
{
    if (source == nullptr || rules == nullptr || pos >= source->size()) {
        return false;
    }
    bool significant = false;
    const size_t end = rules->findTokenEnd(*source, significant, pos, std::string::npos);
    // Rules that answer no progress or a place past the source would loop or read beyond it.
    if (end == std::string::npos || end <= pos || end > source->size()) {
        return false;
    }
    token.text = source->substr(pos, end - pos);
    token.significant = significant;
    lastPos = pos;
    pos = end;
    return true;
}

} // namespace Vorlix
