// SentinelControl.cpp - starts the watchdog, asks it to close and reports its exit code.
//
// Win32 tool, used by hand. Usage: SentinelControl <path of VorlixSentinel.exe> [options...]
// The options are handed to the watchdog unchanged.
#include "Foundation/Win32.h"

#include <cstdio>
#include <string>

namespace {

// Everything after the tool's own first argument, as the system gave it.
std::string argumentsAfterFirst(const char* commandLine)
{
    std::string text = commandLine;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    // Skip the tool's own name (quoted or not), then the watchdog path.
    for (int skipped = 0; skipped < 2 && i < text.size(); ++skipped) {
        if (text[i] == '"') {
            const auto close = text.find('"', i + 1);
            i = close == std::string::npos ? text.size() : close + 1;
        } else {
            while (i < text.size() && text[i] != ' ') {
                ++i;
            }
        }
        while (i < text.size() && text[i] == ' ') {
            ++i;
        }
    }
    return text.substr(i);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: SentinelControl <VorlixSentinel.exe> [options...]\n");
        return 2;
    }
    std::string commandLine = std::string("\"") + argv[1] + "\" " + argumentsAfterFirst(GetCommandLineA());
    std::printf("starting: %s\n", commandLine.c_str());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    commandLine.push_back('\0');
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        const DWORD error = GetLastError();
        std::fprintf(stderr, "cannot start the watchdog (error %lu)\n", static_cast<unsigned long>(error));
        return 1;
    }
    Vorlix::KernelHandle process(info.hProcess);
    Vorlix::KernelHandle thread(info.hThread);

    // Let the watchdog settle into its main loop, then post the close message to its main thread.
    Sleep(1500);
    bool posted = false;
    for (int attempt = 0; attempt < 100 && !posted; ++attempt) {
        posted = PostThreadMessageA(info.dwThreadId, WM_CLOSE, 0, 0) != FALSE;
        if (!posted) {
            Sleep(100);
        }
    }
    std::printf("posted WM_CLOSE to thread %lu: %s\n", static_cast<unsigned long>(info.dwThreadId),
                posted ? "yes" : "no");

    if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0) {
        std::printf("the watchdog did not stop; terminating it\n");
        TerminateProcess(process.get(), 1);
        return 1;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    std::printf("VorlixSentinel exit code: %ld\n", static_cast<long>(static_cast<int32_t>(exitCode)));
    return 0;
}
