// Sentinel.h - the watchdog's application object.
//
// Win32 program code. One Sentinel exists per process; almost all of its state is process-wide
// (static) because the status monitor thread and the IPC message handler reach it without an object.
#pragma once

#include "Foundation/CommandLine.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

class Sentinel {
public:
    // `commandText` is "dummy" followed directly by the program's command line.
    explicit Sentinel(const std::string& commandText);
    virtual ~Sentinel();

    Sentinel(const Sentinel&) = delete;
    Sentinel& operator=(const Sentinel&) = delete;

    bool configure();
    bool run();

    // The per-user suffix of every per-instance name: the user name with blanks as underscores,
    // or, when there is no user name, the time rounded down to 20 seconds.
    static std::string makeInstanceTag(const char* userName, std::time_t now);

    static std::string programName;
    static std::string instanceTag;
    static Vorlix::OptionList options;
    static std::string markerKeyPath;
    static std::string markerName;
    static std::atomic<bool> quitRequested;
    static std::atomic<bool> reconfigureRequested;
    static int32_t productVersion;
    static std::atomic<uint32_t> mainThreadId;

private:
    static void logDebug(int level, const char* text);
};
