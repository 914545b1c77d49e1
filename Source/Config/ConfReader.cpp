// ConfReader.cpp - the reader's life cycle and buildTree, which reads a file into the tree.
//
// Uses the Win32 layers FilePlain and Monopoly; the text itself is handled by the portable
// tokenizer and parser.
#include "Config/ConfReader.h"

#include "Config/ConfParser.h"
#include "Config/ConfigException.h"
#include "Config/Tokenizer.h"
#include "File/FileBase.h"

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
        FilePlain file(fileName);
        file.open(FILE_READ);
        const uint32_t size = file.size();
        // A short read would parse a cut-off file as if it were whole.
        // The size from the directory is 32 bits: a larger file, or one that grew since, does
        // not end where the read did.
        if (!file.read(content, size) || !file.eof()) {
            VORLIX_THROW(FileException, FL_READ, fileName);
        }
        file.close();
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
            logger->error(kMsgSyntaxError, ParameterList().add(fileName).add(e.codeText()));
        }
        debug(1, "ConfReader: %s, line %i.",
              ParameterList().add(e.fullText()).add(lineAt(content, tokenizer.position())));
        return;
    }
    debug(2, "ConfReader: DOM tree built.");
}

} // namespace Vorlix
