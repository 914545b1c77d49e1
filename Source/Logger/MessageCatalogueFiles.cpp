// MessageCatalogueFiles.cpp - loading ".mess" catalogue files.
//
// Files are read through FilePlain and listed through FileUtils; each line goes to the portable
// addLine.
#include "Logger/MessageCatalogue.h"

#include "File/FileBase.h"
#include "File/FileOps.h"
#include "Logger/LogVocabulary.h"

#include <memory>
#include <new>

namespace Vorlix {

int32_t MessageCatalogue::loadFile(const std::string& path, int32_t module)
{
    std::unique_ptr<FilePlain> file(new FilePlain(path));
    file->open(FILE_READ);
    int32_t count = 0;
    while (!file->eof()) {
        if (addLine(module, file->readLine())) {
            ++count;
        }
    }
    file->close();
    return count;
}

CatalogueLoadResult MessageCatalogue::load(const std::string& directory, const std::string& filter)
{
    CatalogueLoadResult result;
    try {
        std::string dir = directory;
        FileUtils::normalizeSeparators(dir);
        FileUtils::addTrailingSeparator(dir);
        const std::string catalogueDir = dir + "LogMessages\\";
        // A directory that is not there is a catalogue that cannot be listed, not an empty one.
        FileInfo info;
        if (!FileOps::fileInfo(dir + "LogMessages", info) || (info.attributes & ATTR_DIRECTORY) == 0) {
            result.errorText = "Unknown";
            return result;
        }
        for (const DirEntry& entry : FileUtils::listDirectory(catalogueDir, "*.mess")) {
            if (!entry.isFile) {
                continue;
            }
            std::string base = FileUtils::fileNamePart(entry.name);
            FileUtils::splitExtension(base);
            const int32_t module = moduleNumber(base);
            if (module == MODULE_UNKNOWN || (filter != "all" && filter.find(base) == std::string::npos)) {
                result.rejectedModules.push_back(base);
                continue;
            }
            const int32_t count = loadFile(catalogueDir + base + ".mess", module);
            result.loadedModules.push_back(base);
            result.messageCounts.push_back(count);
        }
        result.ok = true;
    } catch (const std::bad_alloc&) {
        result.errorText = "OUT OF MEMORY";
    } catch (...) {
        result.errorText = "Unknown";
    }
    return result;
}

} // namespace Vorlix
