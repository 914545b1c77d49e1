// SentinelConfig.cpp - the watchdog's configuration: its logging chain, the configuration file
// with the table of monitored applications, the product version and the per-user guard.
//
// Win32 program code (registry, files and the machine-wide guard).
#include "File/BFile.h"
#include "File/FileOps.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"
#include "VorlixSentinel/Sentinel.h"
#include "VorlixSentinel/SentinelLog.h"

#include <cstdlib>
#include <list>
#include <new>

using namespace SentinelLog;

namespace {

constexpr int32_t kSentinelApplication = 20;
constexpr int32_t kSentinelModule = 23;
constexpr int32_t kUnknownApplication = 0;
constexpr int32_t kUnknownModule = 46;

const char* const kMonitorKey = "sentinel.monitor";

// The logging vocabulary's numbers for a program name.
void lookUpProgram(const std::string& name, int32_t& application, int32_t& module)
{
    if (name == "Sentinel") {
        application = kSentinelApplication;
        module = kSentinelModule;
        return;
    }
    application = kUnknownApplication;
    module = kUnknownModule;
}

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
    // The configured chain (setupLogger with the start-up registry values, the log file agent, the
    // messenger to the core service and the message catalogues) plugs in here. Until it exists the
    // watchdog logs into a plain dispatcher for its application number, or into the one a test
    // injected.
    if (!injectedDispatcher.isNull()) {
        dispatcher = injectedDispatcher;
    } else {
        dispatcher = Vorlix::CountedHandle<Vorlix::LogDispatcher>(
            new (std::nothrow) Vorlix::LogDispatcher(applicationNumber));
    }
    if (dispatcher.isNull()) {
        return false;
    }
    moduleLogger = Vorlix::CountedHandle<Vorlix::LoggerUnit>(
        new (std::nothrow) Vorlix::LoggerUnit(dispatcher, moduleNumber));
    return !moduleLogger.isNull();
}

bool Sentinel::configure()
{
    std::string logName;
    if (Vorlix::SystemInfo::getRegString(Vorlix::SystemInfo::productKey, programName + "DebugLog", logName) !=
        0) {
        logName = programName + "Debug.log";
    }
    debugLogPath = taggedLogName(logName, instanceTag);

    lookUpProgram(programName, applicationNumber, moduleNumber);
    if (applicationNumber == kUnknownApplication || moduleNumber == kUnknownModule) {
        return false;
    }
    if (!buildLoggingChain()) {
        return false;
    }
    logger = moduleLogger;

    conf = Vorlix::CountedHandle<Vorlix::ConfReader>(new (std::nothrow) Vorlix::ConfReader(dispatcher));
    if (conf.isNull()) {
        return false;
    }
    if (!reconfigure(true)) {
        return false;
    }
    loadLogMessages();

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
        // The logging keys of the configuration are applied by the configured chain (see
        // buildLoggingChain) once it exists.

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
    // The catalogues of "sentinel,configuration,sentinel" under `directory` are loaded by the
    // message catalogue store of the configured logging chain (see buildLoggingChain).
    debug(1, "No log messages were loaded.");
}
