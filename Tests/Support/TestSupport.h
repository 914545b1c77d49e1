// TestSupport.h - helpers for tests that start processes and wait for conditions.
//
// Win32-only test code.
#pragma once

#include "Foundation/Win32.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace TestSupport {

// The directory of the running test program, with a trailing backslash. Every program of the build
// lands in the same directory.
inline std::string binaryDirectory()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    const auto slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
}

inline std::string programPath(const std::string& exeName)
{
    return binaryDirectory() + exeName;
}

// Polls `condition` until it holds or the deadline passes; answers whether it held.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline,
                      std::chrono::milliseconds step = std::chrono::milliseconds(20))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(step);
    }
}

// A started child process; terminated if still running when the object goes.
class ChildProcess {
public:
    // `commandLine` is passed to CreateProcessA exactly as given.
    bool start(const std::string& commandLine, const std::string& environmentName = "",
               const std::string& environmentValue = "")
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string buffer = commandLine;
        buffer.push_back('\0');
        if (!environmentName.empty()) {
            SetEnvironmentVariableA(environmentName.c_str(), environmentValue.c_str());
        }
        const BOOL ok = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &startup, &info);
        if (!environmentName.empty()) {
            SetEnvironmentVariableA(environmentName.c_str(), nullptr);
        }
        if (!ok) {
            return false;
        }
        process = Vorlix::KernelHandle(info.hProcess);
        thread = Vorlix::KernelHandle(info.hThread);
        threadId = info.dwThreadId;
        processId = info.dwProcessId;
        return true;
    }

    // Waits for the end; answers the full 32-bit exit code, or nothing on time-out.
    bool wait(std::chrono::milliseconds deadline, uint32_t& exitCode)
    {
        if (WaitForSingleObject(process.get(), static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        exitCode = code;
        return true;
    }

    bool running() const { return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }

    void kill()
    {
        if (process && running()) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 5000);
        }
    }

    ~ChildProcess() { kill(); }

    DWORD threadId = 0;
    DWORD processId = 0;
    Vorlix::KernelHandle process;
    Vorlix::KernelHandle thread;
};

} // namespace TestSupport
