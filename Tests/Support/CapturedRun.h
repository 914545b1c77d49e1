// CapturedRun.h - a child process whose standard output and standard error go to files, so a test
// can read what a program printed (also while it still runs) and its exit code.
//
// Win32-only test code.
#pragma once

#include "Foundation/Win32.h"
#include "TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

namespace TestSupport {

class CapturedChild {
public:
    // `directory` receives the two output files; `commandLine` goes to CreateProcessA as given.
    bool start(const std::string& directory, const std::string& commandLine)
    {
        static int counter = 0;
        const std::string base = directory + "\\captured-" + std::to_string(counter++);
        outPath = base + ".out";
        errPath = base + ".err";
        SECURITY_ATTRIBUTES inherit{};
        inherit.nLength = sizeof inherit;
        inherit.bInheritHandle = TRUE;
        const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        Vorlix::FileHandle out(CreateFileA(outPath.c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        Vorlix::FileHandle err(CreateFileA(errPath.c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out || !err) {
            return false;
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION info{};
        std::string buffer = commandLine;
        buffer.push_back('\0');
        if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &info)) {
            return false;
        }
        process = Vorlix::KernelHandle(info.hProcess);
        Vorlix::KernelHandle thread(info.hThread);
        processId = info.dwProcessId;
        return true;
    }

    // Waits for the end; false on time-out.
    bool wait(std::chrono::milliseconds deadline, uint32_t& exitCode)
    {
        if (!process ||
            WaitForSingleObject(process.get(), static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        exitCode = code;
        return true;
    }

    bool running() const { return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }

    std::string output() const { return readBytes(outPath); }
    std::string errors() const { return readBytes(errPath); }
    // The output with the line ends a console program's text mode writes (CR LF) as LF.
    std::string outputLines() const { return withoutCarriageReturns(output()); }
    std::string errorLines() const { return withoutCarriageReturns(errors()); }

    static std::string withoutCarriageReturns(std::string text)
    {
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    ~CapturedChild()
    {
        if (running()) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 5000);
        }
    }

    DWORD processId = 0;

private:
    Vorlix::KernelHandle process;
    std::string outPath;
    std::string errPath;
};

// Runs a command to its end (or the deadline); the exit code is 0xDEAD when it did not end.
struct CapturedRun {
    uint32_t exitCode = 0xDEAD;
    std::string output;
    std::string errors;
};

inline CapturedRun runCaptured(const std::string& directory, const std::string& commandLine,
                               std::chrono::milliseconds deadline = std::chrono::milliseconds(30000))
{
    CapturedRun run;
    CapturedChild child;
    if (!child.start(directory, commandLine)) {
        run.errors = "cannot start: " + commandLine;
        return run;
    }
    if (!child.wait(deadline, run.exitCode)) {
        run.exitCode = 0xDEAD;
    }
    run.output = child.output();
    run.errors = child.errors();
    return run;
}

} // namespace TestSupport
