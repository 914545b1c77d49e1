// LoggerSetup.cpp - the logging chain's start-up and reconfiguration.
//
// No platform headers here.
#include "Logger/LoggerSetup.h"

#include "File/FileOps.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"
#include "Logger/LogVocabulary.h"

namespace Vorlix {

namespace {

bool reconfigure(LoggerSetup& setup)
{
    if (setup.configuration.isNull()) {
        return false;
    }
    const ConfReader& conf = *setup.configuration;

    std::string directory;
    if (conf.getDirName("Vorlix.directories.log", directory) == CONF_OK && !directory.empty()) {
        FileUtils::addTrailingSeparator(directory);
        const std::string moved = directory + FileUtils::fileNamePart(setup.logFileName);
        if (FileUtils::createParentDirectories(moved)) {
            setup.logFileName = moved;
            if (!setup.messenger.isNull()) {
                setup.messenger->open(moved);
            }
        }
    }

    std::string timeBase = "local";
    conf.getString("log.time", timeBase, true, false); // "local" or "zulu"; nothing depends on it

    const int32_t schemeBefore = rotationScheme();
    std::string words;
    if (conf.getString("log.rotation.scheme", words, true, false) == CONF_OK) {
        setRotationScheme(0);
        applyRotationWords(words);
    }

    TimeSpanFields period;
    setRotationPeriod(conf.getTimeSpan("log.rotation.time", period) == CONF_OK ? TimeSpan(period)
                                                                               : TimeSpan(0));

    // A missing size with the size bit makes every line rotate: documented, and kept.
    int32_t size = 0;
    if (conf.getInteger("log.rotation.size", size) != CONF_OK || size < 0) {
        size = 0;
    }
    setRotationSizeLimit(static_cast<uint32_t>(size));

    if ((rotationScheme() & ROTATE_INIT) != 0 && (schemeBefore & ROTATE_INIT) == 0) {
        setInitPending(true);
        forgetSeenRotationSettings();
    }

    std::string severity;
    if (conf.getString("log.global.severity", severity, true, false) != CONF_OK) {
        setSeverityThreshold(0);
    } else {
        const int32_t number = severityNumber(severity);
        if (number != SEVERITY_UNKNOWN) {
            setSeverityThreshold(number);
        }
    }

    int32_t level = 0;
    if (conf.getInteger("log.global.debug-level", level) != CONF_OK) {
        level = 0;
    }
    setDebugThreshold(level); // ignores levels outside 0 to 5
    return true;
}

} // namespace

void applyRotationWords(const std::string& words)
{
    std::string rest = words;
    while (!rest.empty()) {
        const std::string word = cut(rest, ',');
        if (word == "none") {
            setRotationScheme(0);
        } else if (word == "init") {
            addRotationScheme(ROTATE_INIT);
        } else if (word == "time") {
            addRotationScheme(ROTATE_TIME);
        } else if (word == "size") {
            addRotationScheme(ROTATE_SIZE);
        }
    }
}

bool setupLogger(LoggerSetup& setup)
{
    if (!setup.unit.isNull()) {
        return reconfigure(setup);
    }
    try {
        setApplicationName(applicationName(setup.applicationNumber));
        std::string registryDirectory;
        if (setup.logDirectory.empty() &&
            SystemInfo::getProductString("StartupLogDir", registryDirectory) == 0) {
            setup.logDirectory = registryDirectory;
        }
        FileUtils::normalizeSeparators(setup.logDirectory);
        // No directory means the current one, not the root that a lone separator would name.
        if (!setup.logDirectory.empty()) {
            FileUtils::addTrailingSeparator(setup.logDirectory);
        }

        int32_t level = 0;
        if (SystemInfo::getProductNumber("StartupDebugLevel", level) != 0) {
            level = 0;
        }
        setDebugThreshold(level);

        std::string words;
        if (SystemInfo::getProductString("LogFileRotationScheme", words) == 0) {
            applyRotationWords(words);
        }

        setup.messenger = CountedHandle<LogMessengerIPC>(new LogMessengerIPC);
        setup.messenger->open(setup.logDirectory + setup.logFileName);
        setup.dispatcher =
            CountedHandle<LogDispatcher>(new LogDispatcher(setup.applicationNumber, setup.messenger));
        setup.unit = CountedHandle<LoggerUnit>(new LoggerUnit(setup.dispatcher, setup.moduleNumber));
    } catch (...) {
        return false;
    }
    return !setup.messenger.isNull() && !setup.dispatcher.isNull() && !setup.unit.isNull();
}

} // namespace Vorlix
