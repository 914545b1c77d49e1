// Sentinel.cpp - watchdog start-up, main loop and shutdown, and the process-wide state.
//
// Win32 program code: the user name, the message loop and the thread identifiers come from the
// platform here.
#include "VorlixSentinel/Sentinel.h"

#include "Foundation/Exception.h"
#include "Foundation/Win32.h"
#include "VorlixSentinel/SentinelLog.h"

#include <new>

std::string Sentinel::programName;
std::string Sentinel::instanceTag;
Vorlix::OptionList Sentinel::options;
std::string Sentinel::debugLogPath;
int32_t Sentinel::applicationNumber = 0;
int32_t Sentinel::moduleNumber = 0;
Vorlix::LoggerSetup Sentinel::loggerSetup;
Vorlix::CountedHandle<Vorlix::LogDispatcher> Sentinel::dispatcher;
Vorlix::CountedHandle<Vorlix::LoggerUnit> Sentinel::moduleLogger;
Vorlix::CountedHandle<Vorlix::LoggerUnit> Sentinel::logger;
Vorlix::CountedHandle<Vorlix::ConfReader> Sentinel::conf;
Vorlix::MessageCatalogue Sentinel::messageStore;
Vorlix::Monopoly Sentinel::monopoly;
std::string Sentinel::markerKeyPath;
std::string Sentinel::markerName;
std::atomic<uint32_t> Sentinel::mainThreadId{0};
Vorlix::CountedHandle<Vorlix::LogDispatcher> Sentinel::injectedDispatcher;

ApplicationList Sentinel::applications;
int32_t Sentinel::productVersion = 0;
std::string Sentinel::configurationDir;
int32_t (*Sentinel::clock)() = [] { return static_cast<int32_t>(std::time(nullptr)); };

std::atomic<bool> Sentinel::quitRequested{false};
std::atomic<bool> Sentinel::reconfigureRequested{false};
std::atomic<bool> Sentinel::monitorRunning{false};
InfoHandOver Sentinel::infoHandOver;

namespace {

// UNLEN + 1: the longest user name the system hands out.
constexpr DWORD kUserNameCapacity = 257;

// How long the shutdown waits for the status monitor to leave its loop: one pass, a reply wait
// that ends early on quit, and a start of a program, with room to spare.
constexpr uint32_t kMonitorEndWaitMs = 15000;

DWORD WINAPI monitorEntry(LPVOID argument)
{
    return Sentinel::statusMonitor(static_cast<Sentinel*>(argument));
}

} // namespace

// static
std::string Sentinel::makeInstanceTag(const char* userName, std::time_t now)
{
    if (userName == nullptr) {
        return std::to_string(static_cast<long long>(now / 20 * 20));
    }
    std::string tag = userName;
    for (char& c : tag) {
        if (c == ' ') {
            c = '_';
        }
    }
    return tag;
}

Sentinel::Sentinel(const std::string& commandText)
{
    char userName[kUserNameCapacity] = {};
    DWORD size = kUserNameCapacity;
    const bool haveUser = GetUserNameA(userName, &size) != FALSE;
    instanceTag = makeInstanceTag(haveUser ? userName : nullptr, std::time(nullptr));

    programName = "Sentinel";

    // One Sentinel per process: a new one starts from fresh state.
    options.clear();
    markerKeyPath.clear();
    markerName.clear();
    quitRequested = false;
    reconfigureRequested = false;
    loggerSetup = Vorlix::LoggerSetup();
    messageStore = Vorlix::MessageCatalogue();
    Vorlix::splitCommandLine(commandText, options);
    // The text starts with "dummy", which is never an option, so the first pair is always
    // ("", "dummy") and the rest are exactly the real options.
    if (!options.empty()) {
        options.erase(options.begin());
    }
}

bool Sentinel::run()
{
    using namespace SentinelLog;
    markerKeyPath =
        productVersion >= 54 ? "SOFTWARE\\Vorlix\\Resources\\Recorder" : "SOFTWARE\\Vorlix\\Resources";
    markerName = "SentinelMarker:" + instanceTag;
    changeMarker(3, 1);

    try {
        ipcServer = Vorlix::CountedHandle<Vorlix::IPCServer>(new (std::nothrow) Vorlix::IPCServer(
            "Sentinel_" + instanceTag, dispatcher, &Sentinel::onMessage));
        if (ipcServer.isNull()) {
            fatal(kMsgNoIpcServer, Vorlix::ParameterList().add("MEMORY"));
            return false;
        }
    } catch (Vorlix::Exception& failure) {
        VORLIX_HERE(failure);
        fatal(kMsgNoIpcServer, Vorlix::ParameterList().add(failure.codeText()));
        debug(1, failure.text());
        return false;
    }

    Sleep(100);

    debug(1, "Creating statusMonitor thread");
    // The monitor ends the main loop with a message to this thread: the thread's queue must exist
    // before the monitor runs, or that message would be lost.
    MSG probe{};
    PeekMessageA(&probe, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    mainThreadId = GetCurrentThreadId();
    monitorRunning = true;
    HANDLE thread = CreateThread(nullptr, 0, monitorEntry, this, 0, nullptr);
    if (thread == nullptr) {
        monitorRunning = false;
        debug(3, "Failed to create statusMonitor.");
        return false;
    }
    CloseHandle(thread);
    debug(5, "Created statusMonitor.");
    notice(kMsgStarted);

    MSG msg{};
    // GetMessageA answers 0 for the quit message and -1 on an error; both end the loop.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        const UINT number = msg.message;
        if (number == WM_DESTROY || number == WM_CLOSE || number == WM_QUERYENDSESSION ||
            number == WM_ENDSESSION) {
            debug(5, "Main loop: Got Windows message to shut down.");
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (quitRequested) {
            break;
        }
    }
    // However the loop ended (a quit posted by the window procedure among them), the other
    // threads are told to stop before the shutdown sequence tears their state down.
    quitRequested = true;

    debug(1, "Main loop has exited.");
    return true;
}

Sentinel::~Sentinel()
{
    using namespace SentinelLog;
    quitRequested = true;
    debug(1, "Shutting down the Sentinel...");
    // The status monitor reads the applications, the configuration and the logger: it must have
    // left its loop before any of them goes.
    const bool monitorEnded = waitForMonitorEnd(kMonitorEndWaitMs);
    if (!monitorEnded) {
        debug(1, "statusMonitor did not end in time.");
    }
    // Only an instance that ran owns its marker; a refused second watchdog of the same user must
    // leave the running one's marker alone.
    if (!markerName.empty()) {
        changeMarker(1, 3);
    }

    // A monitor thread that is still inside a pass owns the application list: it is neither walked
    // nor freed then, and the objects it reads stay alive until the process ends.
    if (monitorEnded) {
        debug(1, "   Terminating applications...");
        for (MonitoredApplication& app : applications) {
            app.active = false;
            signalApplication(app);
        }
        if (!applications.empty()) {
            Sleep(250);
        }
    }

    debug(1, "   Terminating IPC server.");
    if (!ipcServer.isNull()) {
        ipcServer->stop();
    }
    ipcServer.destroyNow();

    if (monitorEnded) {
        applications.clear();
        logger.reset();
        // Configuration reader, module logger, messenger, dispatcher: every handle that shares
        // one of them reads as null afterwards.
        loggerSetup.configuration.destroyNow();
        loggerSetup.unit.destroyNow();
        loggerSetup.messenger.destroyNow();
        loggerSetup.dispatcher.destroyNow();
        conf.reset();
        moduleLogger.reset();
        dispatcher.reset();
        Vorlix::setMessageCatalogue(nullptr);
    }
    monopoly.release();
}
