// SoakSupport.h - what the soak and benchmark tools share: child processes, a watchdog
// installation in a temporary directory, process figures, and small file helpers.
//
// Win32 tool code. The tools set the product's registry values the watchdog starts from, so they
// are meant for a test machine (the build tree's Wine prefix).
#pragma once

#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "ReferenceApp/ProcessInfoProbe.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace Soak {

using namespace std::chrono_literals;

const char* const kResources = "SOFTWARE\\Vorlix\\Resources";

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline bool writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline,
                      std::chrono::milliseconds step = 50ms)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(step);
    }
    return true;
}

// The directory of the running program, with a trailing backslash.
inline std::string programDirectory()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length < MAX_PATH ? length : 0);
    return text.substr(0, text.find_last_of("\\/") + 1);
}

// A fresh directory below the temporary directory; removed with its contents at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem)
    {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        path = std::string(base) + stem + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(GetTickCount64());
        CreateDirectoryA(path.c_str(), nullptr);
        path += "\\";
    }
    ~ScratchDir() { removeTree(path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    static void removeTree(const std::string& directory)
    {
        WIN32_FIND_DATAA entry{};
        HANDLE find = FindFirstFileA((directory + "*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = entry.cFileName;
                if (name == "." || name == "..") {
                    continue;
                }
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    removeTree(directory + name + "\\");
                } else {
                    DeleteFileA((directory + name).c_str());
                }
            } while (FindNextFileA(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryA(directory.c_str());
    }

    std::string path; // ends with a backslash
};

// A child process started with an exact command line; killed when still running at the end.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { kill(); }

    bool start(const std::string& commandLine, DWORD flags = 0)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string buffer = commandLine;
        buffer.push_back('\0');
        if (!CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                            &info)) {
            return false;
        }
        process = Vorlix::KernelHandle(info.hProcess);
        Vorlix::KernelHandle thread(info.hThread);
        processId = info.dwProcessId;
        threadId = info.dwThreadId;
        return true;
    }

    bool wait(DWORD milliseconds, uint32_t& exitCode) const
    {
        if (!process || WaitForSingleObject(process.get(), milliseconds) != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        exitCode = code;
        return true;
    }

    bool running() const { return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }

    void kill()
    {
        if (running()) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 10000);
        }
    }

    HANDLE handle() const { return process.get(); }

    Vorlix::KernelHandle process;
    uint32_t processId = 0;
    uint32_t threadId = 0;
};

inline void killProcess(uint32_t pid)
{
    Vorlix::KernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (process) {
        TerminateProcess(process.get(), 7);
        WaitForSingleObject(process.get(), 5000);
    }
}

// Figures of a running process. Under Wine the system's per-process counters of other processes
// read as 0, so CPU time and private memory come from the host's process table (the Linux process
// that runs the program, found by a text of its command line) and the handle count from the
// system's handle table.
struct ProcessFigures {
    uint64_t privateBytes = 0; // resident anonymous memory
    uint32_t handles = 0;
    double cpuSeconds = 0; // kernel and user time
};

// The host process whose command line holds `needle` and `also`; 0 when there is none.
inline unsigned long hostProcessOf(const std::string& needle, const std::string& also = "")
{
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    unsigned long found = 0;
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9') {
            continue;
        }
        const std::string command = readAll(std::string("Z:\\proc\\") + entry.cFileName + "\\cmdline");
        if (command.find(needle) != std::string::npos && command.find(also) != std::string::npos) {
            found = std::strtoul(entry.cFileName, nullptr, 10);
        }
    } while (found == 0 && FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

inline uint32_t handleCount(uint32_t processId)
{
    struct Entry {
        ULONG process;
        UCHAR type;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return 0;
    }
    std::vector<char> buffer(1u << 22);
    ULONG length = 0;
    if (query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &length) != 0) {
        return 0;
    }
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    const size_t first = sizeof(ULONG_PTR); // the count, padded to the entries' alignment
    const size_t fits = (buffer.size() - first) / sizeof(Entry);
    uint32_t mine = 0;
    for (size_t i = 0; i < count && i < fits; ++i) {
        Entry entry{};
        std::memcpy(&entry, buffer.data() + first + i * sizeof(Entry), sizeof entry);
        mine += entry.process == processId ? 1 : 0;
    }
    return mine;
}

inline ProcessFigures figuresOf(uint32_t processId, unsigned long hostProcess)
{
    ProcessFigures figures;
    figures.handles = handleCount(processId);
    if (hostProcess == 0) {
        return figures;
    }
    const std::string dir = "Z:\\proc\\" + std::to_string(hostProcess) + "\\";
    const std::string stat = readAll(dir + "stat");
    const size_t close = stat.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        unsigned long long user = 0, system = 0;
        // After the name: state is field 3; user and system time are fields 14 and 15.
        for (int number = 3; number <= 15 && fields >> field; ++number) {
            if (number == 14) {
                user = std::strtoull(field.c_str(), nullptr, 10);
            } else if (number == 15) {
                system = std::strtoull(field.c_str(), nullptr, 10);
            }
        }
        figures.cpuSeconds = static_cast<double>(user + system) / 100.0; // clock ticks of the host
    }
    std::istringstream status(readAll(dir + "status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            figures.privateBytes = std::strtoull(line.c_str() + 8, nullptr, 10) * 1024;
        }
    }
    return figures;
}

// Doubles the backslashes of a path for a quoted configuration value.
inline std::string confPath(const std::string& path)
{
    std::string out;
    for (const char c : path) {
        out += c;
        if (c == '\\') {
            out += '\\';
        }
    }
    return out;
}

// A watchdog installation: configuration, version file, catalogues, program directory with copies
// of the reference application, and the registry values the watchdog starts from.
class WatchdogInstallation {
public:
    struct App {
        std::string name;     // program file name without ".exe"
        std::string id;       // IPC name
        std::string settings; // further settings lines of the reference application
    };

    explicit WatchdogInstallation(const std::vector<App>& apps, int32_t debugLevel = 2) : dir("vlxsoak")
    {
        CreateDirectoryA(conf().c_str(), nullptr);
        CreateDirectoryA(bin().c_str(), nullptr);
        CreateDirectoryA(logs().c_str(), nullptr);
        writeAll(conf() + "version", "5.3\n");
        std::string text = "Vorlix() = \"\" {\n  directories() = \"\" {\n    bin(DirName) = \"" +
                           confPath(bin()) + "\" {}\n    conf(DirName) = \"" + confPath(conf()) +
                           "\" {}\n  }\n}\n";
        text +=
            "log() = \"\" {\n  global() = \"\" {\n    debug-level(Integer) = " + std::to_string(debugLevel) +
            " {}\n  }\n}\n";
        text += "sentinel() = \"\" {\n  monitor() = \"\" {\n";
        for (const App& app : apps) {
            text += "    " + app.name + "() = \"\" {\n      active(Bool) = true {}\n      id(String) = \"" +
                    app.id + "\" {}\n    }\n";
            const std::string exe = bin() + app.name + ".exe";
            CopyFileA((programDirectory() + "ReferenceApp.exe").c_str(), exe.c_str(), FALSE);
            writeAll(bin() + app.name + ".settings", "id=" + app.id + "\nlifetime=100000\n" + app.settings);
        }
        text += "  }\n}\n";
        writeAll(conf() + "sentinel.conf", text);
        // A copy of its own, so that its host process can be told from any other watchdog's.
        CopyFileA((programDirectory() + "VorlixSentinel.exe").c_str(), (bin() + "VorlixSentinel.exe").c_str(),
                  FALSE);
        Vorlix::SystemInfo::setRegString(kResources, "ConfigurationDir", conf());
        Vorlix::SystemInfo::setRegString(kResources, "StartupLogDir", logs());
        Vorlix::SystemInfo::setRegNumber(kResources, "StartupDebugLevel", debugLevel);
        Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 1);
        Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker:" + ReferenceApp::userTag(), 1);
    }

    std::string conf() const { return dir.path + "Configuration\\"; }
    std::string bin() const { return dir.path + "bin\\"; }
    std::string logs() const { return dir.path + "Logs\\"; }
    std::string debugLog() const { return logs() + "SentinelDebug(" + ReferenceApp::userTag() + ").log"; }

    bool startWatchdog(Child& watchdog) const
    {
        return watchdog.start("\"" + bin() + "VorlixSentinel.exe\"");
    }

    // The figures of the watchdog started by startWatchdog.
    ProcessFigures figures(const Child& watchdog) const
    {
        if (host == 0) {
            const size_t end = dir.path.size() - 1;
            const size_t start = dir.path.find_last_of('\\', end - 1) + 1;
            host = hostProcessOf(dir.path.substr(start, end - start), "VorlixSentinel.exe");
        }
        return figuresOf(watchdog.processId, host);
    }

    ScratchDir dir;
    mutable unsigned long host = 0;
};

// Sends DIE and waits for the watchdog's end; its exit code, or 12345 when it did not stop.
inline uint32_t stopWatchdog(Child& watchdog)
{
    try {
        Vorlix::IPCClient client("Sentinel_" + ReferenceApp::userTag());
        client.send("COMMAND", "", "DIE", "Soak");
    } catch (...) {
    }
    uint32_t code = 12345;
    if (!watchdog.wait(30000, code)) {
        watchdog.kill();
    }
    return code;
}

inline void result(bool passed, const std::string& name, const std::string& details)
{
    std::printf("%s %s: %s\n", passed ? "PASS" : "FAIL", name.c_str(), details.c_str());
    std::fflush(stdout);
}

} // namespace Soak
