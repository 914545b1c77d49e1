// ControlActions.h - what the operator tool does: commands to the watchdog's mailslot, the
// registry markers, the status table, the log listener and the debug log tail.
//
// Win32 tool code (mailslots, registry, the watchdog's guard, the console's Ctrl-C).
#pragma once

#include "SentinelControl/ControlText.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace SentinelControl {

// Set by the console's Ctrl-C handler; listen and tail --follow end at their next poll.
extern std::atomic<bool> stopRequested;
void installCtrlHandler();

// The settings every command works from, resolved from the options, the registry and the files
// the watchdog itself reads.
struct Environment {
    std::string tag;
    std::string serverName;     // "Sentinel_" + tag
    std::string guardName;      // "Sentinel" + tag, as the guard names its mutex
    std::string configDir;      // "ConfigurationDir" with a trailing separator; empty when unset
    std::string configFile;     // -c, or configDir + "sentinel.conf"
    std::string markerKey;      // --marker-key, or chosen by the product version
    int32_t productVersion = 0; // times ten, from configDir + "version"
};

Environment resolveEnvironment(const Arguments& args);

// The current user's instance tag, as the watchdog computes it.
std::string currentUserTag();

// Runs the parsed command; answers the exit code. Output goes to `out`, complaints to `err`.
int runCommand(const Arguments& args, std::FILE* out, std::FILE* err);

} // namespace SentinelControl
