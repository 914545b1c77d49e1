// ConfReaderFile.cpp - reading a whole configuration file for the reader.
//
// Goes through the file layer (FilePlain).
#include "Config/ConfFileRead.h"

#include "File/FileBase.h"

namespace Vorlix {

void readConfigurationFile(const std::string& fileName, std::string& content)
{
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
}

} // namespace Vorlix
