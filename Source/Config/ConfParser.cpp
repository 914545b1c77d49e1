// ConfParser.cpp - the configuration parser's state machine.
//
// Portable: no platform headers (see ConfParser.h).
#include "Config/ConfParser.h"

#include "Config/ConfigException.h"
#include "Foundation/StringUtils.h"

#include <climits>
#include <memory>
#include <new>

namespace Vorlix {

namespace {

enum ParseState {
    EXPECT_NAME,
    EXPECT_OPEN_PAREN,
    EXPECT_TYPE,
    EXPECT_CLOSE_PAREN,
    EXPECT_EQUALS,
    EXPECT_VALUE,
    EXPECT_BLOCK
};

[[noreturn]] void syntaxError(const CountedHandle<LoggerUnit>& logger, const char* text)
{
    if (!logger.isNull()) {
        logger->debug(1, text);
    }
    VORLIX_THROW(ConfigException, CF_CONF, "");
}

} // namespace

int32_t lineAt(const std::string& content, size_t position)
{
    const size_t feeds = countChar('\n', content, 0, position);
    return feeds >= static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(feeds) + 1;
}

bool parseBlock(Tokenizer& tokenizer, ConfNode& parent, const CountedHandle<LoggerUnit>& logger,
                int32_t depth)
{
    ParseState state = EXPECT_NAME;
    std::unique_ptr<ConfNode> node;
    Token token;
    while (tokenizer.nextToken(token)) {
        if (!token.significant || token.text == "\n") {
            continue;
        }
        const std::string& text = token.text;
        switch (state) {
        case EXPECT_NAME:
            if (text == "}") {
                return false;
            }
            node.reset(new (std::nothrow) ConfNode(text));
            if (!node) {
                VORLIX_THROW(ConfigException, CF_MEM, "");
            }
            state = EXPECT_OPEN_PAREN;
            break;
        case EXPECT_OPEN_PAREN:
            if (text != "(") {
                syntaxError(logger, "ConfReader: Missing '('.");
            }
            state = EXPECT_TYPE;
            break;
        case EXPECT_TYPE:
            if (text == ")") {
                state = EXPECT_EQUALS;
            } else {
                node->setType(text);
                state = EXPECT_CLOSE_PAREN;
            }
            break;
        case EXPECT_CLOSE_PAREN:
            if (text != ")") {
                syntaxError(logger, "ConfReader: Missing ')'.");
            }
            state = EXPECT_EQUALS;
            break;
        case EXPECT_EQUALS:
            if (text != "=") {
                syntaxError(logger, "ConfReader: Missing '='.");
            }
            state = EXPECT_VALUE;
            break;
        case EXPECT_VALUE: {
            std::string unquoted = text;
            unquote(unquoted);
            if (!unquoted.empty()) {
                node->setValue(unquoted);
            }
            state = EXPECT_BLOCK;
            break;
        }
        case EXPECT_BLOCK: {
            if (text != "{") {
                syntaxError(logger, "ConfReader: Missing '{'.");
            }
            if (depth + 1 > kMaxConfNesting) {
                syntaxError(logger, "ConfReader: Objects nested too deeply.");
            }
            const bool ranOut = parseBlock(tokenizer, *node, logger, depth + 1);
            parent.addChild(node.release());
            if (ranOut) {
                return true;
            }
            state = EXPECT_NAME;
            break;
        }
        }
    }
    return true;
}

} // namespace Vorlix
