// JobHelper.cpp - a stand-in for a monitored application, for the job tests and by hand.
//
// Win32 tool. Usage: JobHelper <mode> [code]
//   exit <code>  ends at once with the code (any signed 32-bit number, 259 included)
//   window       ends with 100 + the show command it was started with, or 99 without one
//   loop         runs a message loop until it receives "close", then ends with its first parameter
//   ignore       keeps a message queue but ignores "close"; ends by itself after a minute
//   idle         has no message queue at all; ends by itself after a minute
#include "Foundation/Win32.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD LIFETIME_MS = 60000;

int runQueue(bool obeyClose)
{
    MSG message{};
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); // creates the queue
    const ULONGLONG end = GetTickCount64() + LIFETIME_MS;
    while (GetTickCount64() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (obeyClose && message.message == WM_CLOSE) {
                return static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(message.wParam)));
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLPOSTMESSAGE);
    }
    return 97;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 2;
    }
    const char* mode = argv[1];
    if (std::strcmp(mode, "exit") == 0 && argc > 2) {
        return static_cast<int>(std::strtol(argv[2], nullptr, 10));
    }
    if (std::strcmp(mode, "window") == 0) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        GetStartupInfoA(&startup);
        return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? 100 + startup.wShowWindow : 99;
    }
    if (std::strcmp(mode, "loop") == 0) {
        return runQueue(true);
    }
    if (std::strcmp(mode, "ignore") == 0) {
        return runQueue(false);
    }
    if (std::strcmp(mode, "idle") == 0) {
        Sleep(LIFETIME_MS);
        return 96;
    }
    return 2;
}
