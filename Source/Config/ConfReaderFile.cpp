// ConfReaderFile.cpp - buildTree, which reads a configuration file into the reader's tree.
//
// Uses the Win32 layers FilePlain and Monopoly; the text itself goes to the portable replaceTree.
#include "Config/ConfReader.h"

#include "Config/ConfigException.h"
#include "File/FileBase.h"

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

    replaceTree(content, fileName);
}

} // namespace Vorlix
