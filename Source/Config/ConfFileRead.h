// ConfFileRead.h - the configuration reader's one call into the file layer.
//
// Portable header. The Win32 build reads through FilePlain (ConfReaderFile.cpp); the native test
// build has a stand-in of its own.
#pragma once

#include <string>

namespace Vorlix {

// Reads the whole file into `content`; throws FileException when it cannot be read whole.
void readConfigurationFile(const std::string& fileName, std::string& content);

} // namespace Vorlix
