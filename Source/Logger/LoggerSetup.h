// LoggerSetup.h - building the logging chain at start-up and following the configuration.
//
// No platform headers here; the settings come from the registry facade and the configuration
// reader.
#pragma once

#include "Config/ConfReader.h"
#include "Foundation/CountedHandle.h"
#include "Logger/LogMessengerIPC.h"
#include "Logger/LoggerUnit.h"

#include <cstdint>
#include <string>

namespace Vorlix {

struct LoggerSetup {
    std::string logDirectory; // empty: "StartupLogDir" of the registry decides
    std::string logFileName;  // the file's name; after a move, its full path
    int32_t applicationNumber = 0;
    int32_t moduleNumber = 0;
    CountedHandle<LogDispatcher> dispatcher;
    CountedHandle<LogMessengerIPC> messenger;
    CountedHandle<LoggerUnit> unit;
    CountedHandle<ConfReader> configuration;
};

// The first call (no unit yet) builds messenger, dispatcher and unit from the registry's start-up
// values; every later call applies the logging keys of `setup.configuration`. False when the
// chain could not be built, or there is no configuration to follow.
bool setupLogger(LoggerSetup& setup);

// Applies comma-separated scheme words: "none" clears the bits, "init", "time" and "size" add
// theirs; other words (compared exactly) are ignored.
void applyRotationWords(const std::string& words);

} // namespace Vorlix
