// ConfReader.cpp - the reader's life cycle and building its tree from a text.
//
// Portable: no platform headers (the guard member is a Monopoly, whose layer is Win32). Reading a
// file into the tree is in ConfReaderFile.cpp.
#include "Config/ConfReader.h"

#include "Config/ConfParser.h"
#include "Config/ConfigException.h"
#include "Config/Tokenizer.h"

#include <new>

namespace Vorlix {

ConfReader::ConfReader(CountedHandle<LogDispatcher> dispatcher)
    : logger(new LoggerUnit(dispatcher, kConfigurationModule))
{
    debug(1, "ConfReader: Created.");
}

ConfReader::~ConfReader()
{
    rootNode.reset();
    try {
        debug(1, "ConfReader: Destroyed.");
    } catch (...) {
        // Nothing may escape a destructor.
    }
}

void ConfReader::debug(int32_t level, const char* text) const
{
    if (!logger.isNull()) {
        logger->debug(level, text);
    }
}

void ConfReader::debug(int32_t level, const char* format, ParameterList parameters) const
{
    if (!logger.isNull()) {
        logger->debug(level, format, parameters);
    }
}

void ConfReader::buildTreeFromText(const std::string& content, const std::string& sourceName)
{
    debug(2, "ConfReader: Building DOM tree from \"%s\"...", ParameterList().add(sourceName));
    if (!guard.acquire()) {
        if (!logger.isNull()) {
            logger->error(kMsgNoGuard);
        }
        return;
    }
    // Released on every way out, exceptions passed on included.
    struct Release {
        Monopoly& held;
        ~Release() { held.release(); }
    } release{guard};
    replaceTree(content, sourceName);
}

void ConfReader::replaceTree(const std::string& content, const std::string& sourceName)
{
    rootNode.reset();
    rootNode.reset(new (std::nothrow) ConfNode("Root"));
    if (!rootNode) {
        return;
    }

    const ConfTokenRules rules;
    Tokenizer tokenizer(&content, &rules);
    try {
        parseBlock(tokenizer, *rootNode, logger);
    } catch (ConfigException& e) {
        VORLIX_HERE(e);
        if (!logger.isNull()) {
            logger->error(kMsgSyntaxError, ParameterList().add(sourceName).add(e.codeText()));
        }
        debug(1, "ConfReader: %s, line %i.",
              ParameterList().add(e.fullText()).add(lineAt(content, tokenizer.position())));
        return;
    }
    debug(2, "ConfReader: DOM tree built.");
}

} // namespace Vorlix
