// Tokenizer.h - splitting configuration text into tokens by a set of token rules.
//
// Portable: no platform headers; this file must stay free of them so that the tokenizer can be
// built natively and fuzzed. A token is a run of bytes with a flag saying whether it carries
// meaning (blank runs do not).
#pragma once

#include <cstddef>
#include <string>

namespace Vorlix {

struct Token {
    std::string text;
    bool significant = false;
};

class TokenRules {
public:
    TokenRules() = default;
    virtual ~TokenRules() = default;

    TokenRules(const TokenRules&) = delete;
    TokenRules& operator=(const TokenRules&) = delete;

    // The offset just past the token that begins at `start`, looking at no more than `maxLength`
    // bytes from there, or std::string::npos when no token begins there. Sets `significant`.
    virtual size_t findTokenEnd(const std::string& source, bool& significant, size_t start,
                                size_t maxLength) const = 0;
};

// The rules of the configuration file format.
class ConfTokenRules : public TokenRules {
public:
    ConfTokenRules();

    size_t findTokenEnd(const std::string& source, bool& significant, size_t start,
                        size_t maxLength) const override;

    // A blank is a byte whose signed value is at most 32, the line feed excepted: the control
    // bytes, the space, the carriage return and every byte from 0x80 on.
    static bool isBlank(char byte);
};

class Tokenizer {
public:
    // Neither the source nor the rules are owned; both must outlive the tokenizer.
    Tokenizer(const std::string* text, const TokenRules* tokenRules);
    ~Tokenizer();

    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    // Fills `token` with the next token; false when none is left.
    bool nextToken(Token& token);
    // The offset just past the last token read.
    size_t position() const { return pos; }
    size_t previousPosition() const { return lastPos; }

private:
    const std::string* source;
    size_t pos = 0;
    size_t lastPos = 0;
    const TokenRules* rules;
    bool ownsRules = false;
};

} // namespace Vorlix
