// Sentinel.h - the watchdog's application object.
//
// Win32 program code. One Sentinel exists per process; almost all of its state is process-wide
// (static) because the status monitor thread and the IPC message handler reach it without an
// object. The state is grouped by the thread that owns it. The operations live in:
//   Sentinel.cpp          start-up, main loop, shutdown
//   SentinelConfig.cpp    configuration, reconfiguration, the logging chain
//   Applications.cpp      attach, start, restart and signal monitored applications
//   StatusMonitor.cpp     the status monitor thread and the registry markers
//   CommandHandler.cpp    the IPC commands
#pragma once

#include "Config/ConfReader.h"
#include "Foundation/CommandLine.h"
#include "Foundation/CountedHandle.h"
#include "Foundation/Monopoly.h"
#include "IPC/IPCServer.h"
#include "Logger/LoggerSetup.h"
#include "Logger/LoggerUnit.h"
#include "Logger/MessageCatalogue.h"
#include "VorlixSentinel/MonitorPolicy.h"
#include "VorlixSentinel/MonitoredApplication.h"

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

    // Configuration (SentinelConfig.cpp).
    static bool reconfigure(bool initial);
    static void loadLogMessages();
    // Builds the watchdog's logging chain (messenger, dispatcher and module logger) from the
    // start-up registry values; false when it cannot.
    static bool buildLoggingChain();
    // The debug log file name with the instance tag put before the extension.
    static std::string taggedLogName(std::string name, const std::string& tag);
    // Product version times ten from the text of the version file.
    static int32_t parseProductVersion(const std::string& text);

    // Monitored applications (Applications.cpp).
    static bool getApplication(MonitoredApplication& app);
    static bool startApplication(MonitoredApplication& app, bool restart);
    static bool isApplicationRunning(MonitoredApplication& app);
    static bool captureApplication(MonitoredApplication& app);
    static void signalApplication(MonitoredApplication& app);

    // Status monitor and markers (StatusMonitor.cpp).
    static void changeMarker(int32_t oldValue, int32_t newValue);
    static uint32_t statusMonitor(Sentinel* sentinel);
    // One pass body of the status monitor; false when the thread is to end.
    static bool monitorPass(struct MonitorPassState& state);
    // Waits (bounded) until the status monitor thread has left its loop.
    static bool waitForMonitorEnd(uint32_t milliseconds);

    // IPC commands (CommandHandler.cpp).
    static void onMessage(const std::string& type, const std::string& id, const std::string& text,
                          const std::string& sender);
    static void runProgram(const std::string& request);

    // The per-user suffix of every per-instance name: the user name with blanks as underscores,
    // or, when there is no user name, the time rounded down to 20 seconds.
    static std::string makeInstanceTag(const char* userName, std::time_t now);

    // --- Main thread: set by the constructor, configure and run, read by the other threads while
    //     they run, torn down by the shutdown sequence after they ended.
    static std::string programName;
    static std::string instanceTag;
    static Vorlix::OptionList options;
    static std::string debugLogPath;
    static int32_t applicationNumber;
    static int32_t moduleNumber;
    // The logging set-up: log file, messenger, dispatcher, module logger and the configuration
    // reader whose logging keys it follows. The handles below share its objects.
    static Vorlix::LoggerSetup loggerSetup;
    static Vorlix::CountedHandle<Vorlix::LogDispatcher> dispatcher;
    static Vorlix::CountedHandle<Vorlix::LoggerUnit> moduleLogger;
    static Vorlix::CountedHandle<Vorlix::LoggerUnit> logger; // the current logger
    static Vorlix::CountedHandle<Vorlix::ConfReader> conf;
    // The texts of the catalogued messages; installed process-wide once loaded.
    static Vorlix::MessageCatalogue messageStore;
    static Vorlix::Monopoly monopoly;
    static std::string markerKeyPath; // empty until run chose it: no marker is touched before
    static std::string markerName;
    static std::atomic<uint32_t> mainThreadId;
    // When not null, buildLoggingChain delivers into this dispatcher (tests observe the log).
    static Vorlix::CountedHandle<Vorlix::LogDispatcher> injectedDispatcher;

    // --- Status monitor thread (and configure before it starts).
    static ApplicationList applications;
    static int32_t productVersion;
    static std::string configurationDir; // empty when the c option named the file
    // The clock of the monitor's timers and the restart rule, seconds since 1970.
    static int32_t (*clock)();

    // --- Shared between the threads.
    static std::atomic<bool> quitRequested;
    static std::atomic<bool> reconfigureRequested;
    static std::atomic<bool> monitorRunning;
    static InfoHandOver infoHandOver;

private:
    Vorlix::CountedHandle<Vorlix::IPCServer> ipcServer;
};

// The status monitor's timers and its per-pass memory.
struct MonitorPassState {
    SentinelPolicy::MonitorTimers timers;
    bool checksSuspended = false; // the per-instance marker held another value than 1 at its last read
};
