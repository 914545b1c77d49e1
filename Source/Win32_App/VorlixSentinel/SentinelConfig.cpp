// SentinelConfig.cpp - the watchdog's configuration: its logging chain, the configuration file
// with the table of monitored applications, the product version and the per-user guard.
//
// Win32 program code (registry, files and the machine-wide guard).
#include "File/BFile.h"
#include "File/FileOps.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"
#include "Logger/LogMessenger.h"
#include "Logger/LogVocabulary.h"
#include "VorlixSentinel/Sentinel.h"
#include "VorlixSentinel/SentinelLog.h"

#include <cstdlib>
#include <list>
#include <new>

using namespace SentinelLog;

namespace {

constexpr int32_t kUnknownApplication = 0;
constexpr int32_t kUnknownModule = 46;

const char* const kMonitorKey = "sentinel.monitor";

void readProductVersion(const std::string& path)
{
    if (!Vorlix::FileOps::exists(path)) {
        debug(1, "Could not find version file at \"%s\"", Vorlix::ParameterList().add(path));
        return;
    }
    Vorlix::BFile file;
    if (!file.open(path, 1)) {
        debug(1, "Failed to read version file \"%s\"", Vorlix::ParameterList().add(path));
        return;
    }
    std::string text;
    if (!file.read(text, Vorlix::FileUtils::fileSize(path))) {
        debug(1, "Failed to read version file \"%s\"", Vorlix::ParameterList().add(path));
        return;
    }
    file.close();
    Sentinel::productVersion = Sentinel::parseProductVersion(text);
}

} // namespace

// static
std::string Sentinel::taggedLogName(std::string name, const std::string& tag)
{
    const std::string extension = Vorlix::FileUtils::splitExtension(name);
    return name + "(" + tag + ")." + extension;
}

// static
int32_t Sentinel::parseProductVersion(const std::string& text)
{
    const double value = std::strtod(text.c_str(), nullptr) * 10.0;
    // Far outside any product version: keep the conversion defined.
    if (!(value > -2147483648.0 && value < 2147483647.0)) {
        return 0;
    }
    return static_cast<int32_t>(value);
}

// static
bool Sentinel::buildLoggingChain()
{
    loggerSetup.logFileName = debugLogPath;
    loggerSetup.applicationNumber = applicationNumber;
    loggerSetup.moduleNumber = moduleNumber;
    if (!injectedDispatcher.isNull()) {
        // A test observes the records in its own dispatcher; nothing is written or forwarded.
        loggerSetup.dispatcher = injectedDispatcher;
        loggerSetup.unit = Vorlix::CountedHandle<Vorlix::LoggerUnit>(
            new (std::nothrow) Vorlix::LoggerUnit(injectedDispatcher, moduleNumber));
        if (loggerSetup.unit.isNull()) {
            return false;
        }
    } else if (!Vorlix::setupLogger(loggerSetup)) {
        return false;
    }
    dispatcher = loggerSetup.dispatcher;
    moduleLogger = loggerSetup.unit;
    return !dispatcher.isNull() && !moduleLogger.isNull();
}

bool Sentinel::configure()
{
    std::string logName;
    if (Vorlix::SystemInfo::getRegString(Vorlix::SystemInfo::productKey, programName + "DebugLog", logName) !=
        0) {
        logName = programName + "Debug.log";
    }
    debugLogPath = taggedLogName(logName, instanceTag);

    applicationNumber = Vorlix::applicationNumber(programName);
    moduleNumber = Vorlix::moduleNumber(programName);
    if (applicationNumber == kUnknownApplication || moduleNumber == kUnknownModule) {
        return false;
    }
    if (!buildLoggingChain()) {
        return false;
    }
    logger = moduleLogger;
    // Several threads log: every debug line names the thread that wrote it.
    Vorlix::setThreadIdFlag(true);

    conf = Vorlix::CountedHandle<Vorlix::ConfReader>(new (std::nothrow) Vorlix::ConfReader(dispatcher));
    if (conf.isNull()) {
        return false;
    }
    loggerSetup.configuration = conf;
    if (!reconfigure(true)) {
        return false;
    }
    loadLogMessages();
    Vorlix::setMessageCatalogue(&messageStore);

    if (!monopoly.isHeld()) {
        const std::string name = programName + instanceTag;
        monopoly.setName(name);
        if (!monopoly.acquire()) {
            fatal(kMsgAlreadyRunning, Vorlix::ParameterList().add(name));
            return false;
        }
    }
    debug(1, "Finished configuring.");
    return true;
}

// static
bool Sentinel::reconfigure(bool initial)
{
    if (!initial) {
        debug(1, "Reconfiguring...");
    }
    // Cleared when the work starts, so a RECONFIG that arrives meanwhile asks for one more round.
    reconfigureRequested = false;
    const bool done = [&] {
        std::string fileName;
        if (!options.empty() && options.front().first == "c") {
            fileName = options.front().second;
            options.erase(options.begin());
            configurationDir.clear();
        } else {
            std::string dir;
            if (Vorlix::SystemInfo::getRegString(Vorlix::SystemInfo::productKey, "ConfigurationDir", dir) !=
                0) {
                debug(1, "Could not get configuration dir from system.");
                return false;
            }
            Vorlix::FileUtils::normalizeSeparators(dir);
            Vorlix::FileUtils::addTrailingSeparator(dir);
            configurationDir = dir;
            fileName = dir + Vorlix::lowerCopy(programName) + ".conf";
        }
        if (conf.isNull()) {
            return false;
        }
        conf->buildTree(fileName);
        // The logging keys: log directory, rotation, thresholds.
        Vorlix::setupLogger(loggerSetup);
        debugLogPath = loggerSetup.logFileName;

        int32_t level = 0;
        if (conf->getInteger(Vorlix::lowerCopy(programName) + ".log.debug-level", level) == Vorlix::CONF_OK &&
            level >= 0 && level <= 5) {
            Vorlix::setDebugThreshold(level);
        }

        std::list<std::string> names;
        if (conf->getSubObjects(kMonitorKey, names) != Vorlix::CONF_OK || names.empty()) {
            fatal(kMsgMissingKey, Vorlix::ParameterList().add(kMonitorKey));
            return false;
        }
        for (const std::string& name : names) {
            MonitoredApplication* record = nullptr;
            for (MonitoredApplication& app : applications) {
                if (app.name == name) {
                    record = &app;
                    break;
                }
            }
            if (record == nullptr) {
                applications.emplace_back();
                record = &applications.back();
                record->name = name;
            }
            const std::string base = std::string(kMonitorKey) + "." + name;
            if (conf->getBool(base + ".active", record->active) != Vorlix::CONF_OK) {
                fatal(kMsgMissingKey, Vorlix::ParameterList().add(base + ".active"));
                return false;
            }
            if (conf->getString(base + ".id", record->id, true, false) != Vorlix::CONF_OK) {
                fatal(kMsgMissingKey, Vorlix::ParameterList().add(base + ".id"));
                return false;
            }
        }
        readProductVersion(configurationDir + "version");
        return true;
    }();
    if (!done) {
        reconfigureRequested = true; // tried again at the next pass
        return false;
    }
    if (!initial) {
        debug(1, "Finished reconfiguring.");
    }
    return true;
}

// static
void Sentinel::loadLogMessages()
{
    debug(1, "Loading log messages...");
    std::string directory;
    if (conf.isNull() || conf->getDirName("Vorlix.directories.conf", directory) != Vorlix::CONF_OK) {
        error(kMsgMissingKey, Vorlix::ParameterList().add("Vorlix.directories.conf"));
        return;
    }
    const std::string modules =
        Vorlix::lowerCopy(Vorlix::moduleName(moduleNumber)) + ",configuration,sentinel";
    const Vorlix::CatalogueLoadResult result = messageStore.load(directory, modules);
    if (!result.ok) {
        error(kMsgNoCatalogues, Vorlix::ParameterList().add(result.errorText));
        return;
    }
    if (result.loadedModules.empty()) {
        debug(1, "No log messages were loaded.");
    }
    for (size_t i = 0; i < result.loadedModules.size(); ++i) {
        const int32_t count = i < result.messageCounts.size() ? result.messageCounts[i] : 0;
        debug(2, "Loaded %i messages for module \"%s\".",
              Vorlix::ParameterList().add(count).add(result.loadedModules[i]));
    }
    for (const std::string& module : result.rejectedModules) {
        debug(2, "Messages for module \"%s\" were rejected.", Vorlix::ParameterList().add(module));
    }
}
