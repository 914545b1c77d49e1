// ConfReader.cpp - the reader's life cycle and buildTree, which reads a file or a text into the
// tree.
//
// Portable: no platform headers. The guard member is a Monopoly and the file is read by
// readConfigurationFile (ConfReaderFile.cpp), both Win32 layers; the text itself is handled by the
// portable tokenizer and parser.
#include "Config/ConfReader.h"

#include "Config/ConfFileRead.h"
#include "Config/ConfParser.h"
#include "Config/ConfigException.h"
#include "Config/Tokenizer.h"

#include <new>

namespace Vorlix {

namespace {

// Releases the reader's guard on every way out of buildTree, exceptions passed on included.
class GuardRelease {
public:
    explicit GuardRelease(Monopoly& heldGuard) : guard(heldGuard) {}
    ~GuardRelease() { guard.release(); }

    GuardRelease(const GuardRelease&) = delete;
    GuardRelease& operator=(const GuardRelease&) = delete;

private:
    Monopoly& guard;
};

} // namespace

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

void ConfReader::buildTree(const std::string& fileName)
{
    debug(2, "ConfReader: Building DOM tree from file \"%s\"...", ParameterList().add(fileName));
    if (!guard.acquire()) {
        if (!logger.isNull()) {
            logger->error(kMsgNoGuard);
        }
        return;
    }
    GuardRelease release(guard);

    std::string content;
    try {
        readConfigurationFile(fileName, content);
    } catch (FileException& e) {
        VORLIX_HERE(e);
        if (!logger.isNull()) {
            logger->error(kMsgCannotReadFile, ParameterList().add(fileName).add(e.codeText()));
        }
        debug(1, "ConfReader: %s", ParameterList().add(e.fullText()));
        return;
    } catch (...) {
        if (!logger.isNull()) {
            logger->error(kMsgCannotReadFile, ParameterList().add(fileName).add("Unknown"));
        }
        debug(1, "ConfReader: Unknown error while building DOM tree from file \"%s\".",
              ParameterList().add(fileName));
        return;
    }

    replaceTree(content, fileName);
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
    GuardRelease release(guard);
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
