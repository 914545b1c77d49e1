// LogVocabulary.cpp - the severity, module and application tables.
//
// Portable: no platform headers.
#include "Logger/LogVocabulary.h"

#include "Foundation/StringUtils.h"

namespace Vorlix {

namespace {

const char* const kUnknown = "<<Unknown>>";

const char* const kSeverities[] = {"NOTICE", "WARNING", "ERROR", "CRITICAL", "FATAL"};

// Indexed by module number; an empty name marks a number without a module. The suite's tools
// from 29 on are written in lower case.
const char* const kModules[40] = {
    "Core",     "Configuration", "Logger",    "Database", "Time",      "Network", "IPC",     "Process",
    "Monitor",  "Collector",     "Scheduler", "",         "Reporter",  "Alarm",   "Archive", "Export",
    "Import",   "Security",      "License",   "Update",   "Agent",     "Console", "Service", "Sentinel",
    "Recorder", "Viewer",        "Analyzer",  "Notifier", "Installer", "probe",   "counter", "gauge",
    "trace",    "snapshot",      "replay",    "bridge",   "relay",     "mirror",  "sampler", "digest",
};

// Indexed by application number - 1.
const char* const kApplications[35] = {
    "Core",     "Console",   "Recorder", "Sedrin",   "Viewer",   "Analyzer", "Collector",
    "Notifier", "Scheduler", "Reporter", "Archiver", "Exporter", "Importer", "Updater",
    "Licenser", "Agent",     "Gateway",  "Probe",    "Tracer",   "Sentinel", "Monitor",
    "Counter",  "Gauge",     "Snapshot", "Replayer", "Bridge",   "Relay",    "Mirror",
    "Sampler",  "Digest",    "Auditor",  "Balancer", "Courier",  "Dispatch", "Keeper",
};

} // namespace

std::string severityName(int32_t severity)
{
    if (severity < 0 || severity > 4) {
        return std::string();
    }
    return kSeverities[severity];
}

int32_t severityNumber(const std::string& name)
{
    for (int32_t i = 0; i < 5; ++i) {
        if (name == kSeverities[i]) {
            return i;
        }
    }
    if (name == "NONE" || name == "NOTHING") {
        return SEVERITY_NOTHING;
    }
    return SEVERITY_UNKNOWN;
}

std::string moduleName(int32_t module)
{
    if (module < 0 || module >= 40 || kModules[module][0] == '\0') {
        return kUnknown;
    }
    return kModules[module];
}

int32_t moduleNumber(const std::string& name)
{
    const std::string lower = lowerCopy(name);
    if (lower == "log") {
        return MODULE_LOGGER;
    }
    for (int32_t i = 0; i < 40; ++i) {
        if (kModules[i][0] != '\0' && lower == lowerCopy(kModules[i])) {
            return i;
        }
    }
    return MODULE_UNKNOWN;
}

std::string applicationName(int32_t application)
{
    if (application < 1 || application > 35) {
        return kUnknown;
    }
    return kApplications[application - 1];
}

int32_t applicationNumber(const std::string& name)
{
    const std::string lower = lowerCopy(name);
    for (int32_t i = 0; i < 35; ++i) {
        if (lower == lowerCopy(kApplications[i])) {
            return i + 1;
        }
    }
    return 0;
}

} // namespace Vorlix
