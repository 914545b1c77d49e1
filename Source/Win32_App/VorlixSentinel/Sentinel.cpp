// Sentinel.cpp - watchdog start-up, main loop and shutdown.
//
// Win32 program code: the user name, the message loop and the thread identifiers come from the
// platform here.
#include "VorlixSentinel/Sentinel.h"

#include "Foundation/Win32.h"

std::string Sentinel::programName;
std::string Sentinel::instanceTag;
Vorlix::OptionList Sentinel::options;
std::string Sentinel::markerKeyPath;
std::string Sentinel::markerName;
std::atomic<bool> Sentinel::quitRequested{false};
std::atomic<bool> Sentinel::reconfigureRequested{false};
int32_t Sentinel::productVersion = 0;
std::atomic<uint32_t> Sentinel::mainThreadId{0};

namespace {

// UNLEN + 1: the longest user name the system hands out.
constexpr DWORD kUserNameCapacity = 257;

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

    // One Sentinel per process: a new one starts from a fresh option list.
    options.clear();
    Vorlix::splitCommandLine(commandText, options);
    // The text starts with "dummy", which is never an option, so the first pair is always
    // ("", "dummy") and the rest are exactly the real options.
    if (!options.empty()) {
        options.erase(options.begin());
    }
}

bool Sentinel::configure()
{
    return true;
}

bool Sentinel::run()
{
    markerKeyPath =
        productVersion >= 54 ? "SOFTWARE\\Vorlix\\Resources\\Recorder" : "SOFTWARE\\Vorlix\\Resources";
    markerName = "SentinelMarker:" + instanceTag;

    Sleep(100);

    logDebug(1, "Creating statusMonitor thread");
    mainThreadId = GetCurrentThreadId();

    MSG msg{};
    // GetMessageA answers 0 for the quit message and -1 on an error; both end the loop.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        const UINT number = msg.message;
        if (number == WM_DESTROY || number == WM_CLOSE || number == WM_QUERYENDSESSION ||
            number == WM_ENDSESSION) {
            logDebug(5, "Main loop: Got Windows message to shut down.");
            quitRequested = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (quitRequested) {
            break;
        }
    }

    logDebug(1, "Main loop has exited.");
    return true;
}

Sentinel::~Sentinel()
{
    logDebug(1, "Shutting down the Sentinel...");
    logDebug(1, "   Terminating applications...");
    logDebug(1, "   Terminating IPC server.");
}

// static
void Sentinel::logDebug(int level, const char* text)
{
    // No module logger exists in this build yet; log calls through a null logger are dropped.
    (void)level;
    (void)text;
}
