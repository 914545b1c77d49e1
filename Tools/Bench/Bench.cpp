// Bench.cpp - the watchdog's and the initializer's costs beside a baseline from the same run.
//
// Win32 tool (run by `make bench`, not a test). Every figure is printed as one line
//   ROW|<figure>|<value>|<baseline>|<target>|<verdict>
// which the bench script gathers into one table. Usage:
//   Bench idle <seconds>     the watchdog with 10 applications at rest, beside a bare message loop
//   Bench latency <crashes>  crash-to-restart latency of one application
//   Bench sedrin <runs>      Sedrin setting one value in a 1 MB file, beside a raw copy + replace
// Roles started by the runs themselves: Bench bareloop, Bench empty, Bench rawcopy <file>.
#include "Foundation/Exception.h"
#include "Soak/SedrinInstall.h"
#include "Soak/SoakSupport.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace Soak;

void row(const std::string& figure, const std::string& value, const std::string& baseline,
         const std::string& target, bool met)
{
    std::printf("ROW|%s|%s|%s|%s|%s\n", figure.c_str(), value.c_str(), baseline.c_str(), target.c_str(),
                target.empty() ? "-" : (met ? "met" : "MISSED"));
    std::fflush(stdout);
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A program that does nothing but wait in a message loop, as the watchdog's main thread does.
int bareLoop()
{
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}

int idle(int seconds)
{
    std::vector<WatchdogInstallation::App> apps;
    std::vector<std::string> ids;
    for (int i = 0; i < 10; ++i) {
        ids.push_back("Idle" + std::to_string(i));
        apps.push_back({"idle" + std::to_string(i), ids.back(), ""});
    }
    // The shipped debug level (1): the watchdog writes no line while all is well.
    WatchdogInstallation install(apps, 1);
    Child watchdog;
    Child loop;
    const std::string token = "bench" + std::to_string(GetCurrentProcessId());
    if (!install.startWatchdog(watchdog) ||
        !loop.start("\"" + programDirectory() + "Bench.exe\" bareloop " + token)) {
        std::printf("cannot start the programs\n");
        return 1;
    }
    ReferenceApp::Probe probe("BenchProbe");
    int running = 0;
    for (const std::string& id : ids) {
        running += probe.waitForProcess(id, 30s) != 0 ? 1 : 0;
    }
    std::this_thread::sleep_for(10s); // let start-up settle
    const unsigned long loopHost = hostProcessOf("bareloop", token);
    const ProcessFigures watchdogBefore = install.figures(watchdog);
    const ProcessFigures loopBefore = figuresOf(loop.processId, loopHost);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const ProcessFigures watchdogAfter = install.figures(watchdog);
    const ProcessFigures loopAfter = figuresOf(loop.processId, loopHost);
    const double hour = 3600.0 / seconds;
    const double watchdogCpu = (watchdogAfter.cpuSeconds - watchdogBefore.cpuSeconds) * hour;
    const double loopCpu = (loopAfter.cpuSeconds - loopBefore.cpuSeconds) * hour;
    const double extraMiB =
        (static_cast<double>(watchdogAfter.privateBytes) - static_cast<double>(loopAfter.privateBytes)) /
        1048576.0;
    // Figures of 0 come from a host process that was not found: such a run measured nothing.
    const bool measured = watchdogAfter.privateBytes > 0 && loopAfter.privateBytes > 0 && running == 10;
    row("idle, 10 apps (" + std::to_string(running) + " running), " + std::to_string(seconds) +
            " s: CPU s per hour",
        fixed(watchdogCpu, 2), fixed(loopCpu, 2) + " (bare loop)", "<= 1", measured && watchdogCpu <= 1.0);
    row("idle: handles", std::to_string(watchdogAfter.handles),
        std::to_string(loopAfter.handles) + " (bare loop)", "", true);
    row("idle: private memory MiB", fixed(static_cast<double>(watchdogAfter.privateBytes) / 1048576.0, 2),
        fixed(static_cast<double>(loopAfter.privateBytes) / 1048576.0, 2) + " (bare loop)",
        "<= bare + 4 (" + fixed(extraMiB, 2) + " more)", measured && extraMiB <= 4.0);
    stopWatchdog(watchdog);
    PostThreadMessageA(loop.threadId, WM_QUIT, 0, 0);
    for (const std::string& id : ids) {
        if (const uint32_t pid = probe.processId(id, 300ms)) {
            killProcess(pid);
        }
    }
    return 0;
}

// The id of a process with this executable name other than `except`; 0 when there is none.
uint32_t processNamed(const char* name, uint32_t except)
{
    Vorlix::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return 0;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (_stricmp(entry.szExeFile, name) == 0 && entry.th32ProcessID != except) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

int latency(int crashes)
{
    WatchdogInstallation install({{"victim", "Victim", ""}}, 1);
    Child watchdog;
    if (!install.startWatchdog(watchdog)) {
        return 1;
    }
    ReferenceApp::Probe probe("BenchProbe");
    uint32_t pid = probe.waitForProcess("Victim", 30s);
    std::vector<double> seconds;
    std::mt19937 random(4321);
    std::uniform_int_distribution<int> pause(0, 5000);
    for (int i = 0; i < crashes && pid != 0; ++i) {
        // A random moment within the check period, so the figures spread over it.
        Sleep(static_cast<DWORD>(pause(random)));
        const auto killed = std::chrono::steady_clock::now();
        killProcess(pid);
        // The restart is the new process, seen in the system's process list; its IPC server
        // answers only once it has started up, which is the application's time, not the watchdog's.
        uint32_t next = 0;
        waitUntil(
            [&] {
                next = processNamed("victim.exe", pid);
                return next != 0;
            },
            20s, 10ms);
        if (next == 0) {
            break;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count());
        // Answering again before the next crash: the watchdog knows the new process.
        if (probe.waitForProcess("Victim", 20s, pid) == 0) {
            break;
        }
        pid = next;
    }
    stopWatchdog(watchdog);
    if (pid != 0) {
        killProcess(pid);
    }
    if (seconds.empty()) {
        row("crash to restart", "no restart", "", "", false);
        return 1;
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    const double worst = seconds.back();
    const std::string count = std::to_string(seconds.size()) + " of " + std::to_string(crashes) + " crashes";
    row("crash to restart, median s (" + count + ")", fixed(median, 2), "check period 5 s", "<= 3",
        median <= 3.0);
    row("crash to restart, worst s", fixed(worst, 2), "check period 5 s", "<= 5.5", worst <= 5.5);
    return 0;
}

double runProcess(const std::string& commandLine, uint32_t& code)
{
    Child child;
    const auto start = std::chrono::steady_clock::now();
    code = 12345;
    if (!child.start(commandLine) || !child.wait(120000, code)) {
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int rawCopy(const std::string& path)
{
    // What a safe save costs at the least: a working copy, then the replace.
    const std::string temporary = path + ".tmp";
    std::string bytes = readAll(path);
    bytes[bytes.size() / 2] = bytes[bytes.size() / 2] == 'x' ? 'y' : 'x';
    if (!writeAll(temporary, bytes) ||
        !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 1;
    }
    return 0;
}

int sedrin(int runs, const std::string& exampleRoot)
{
    SedrinInstallation install(exampleRoot, 1024 * 1024);
    const std::string self = "\"" + programDirectory() + "Bench.exe\"";
    const std::string sedrinExe = "\"" + programDirectory() + "Sedrin.exe\"";
    uint32_t code = 0;
    runProcess(sedrinExe + " -r \"" + install.root() + "\"", code);
    std::vector<double> empty, raw, set;
    bool ok = code == 0;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(runProcess(self + " empty", code));
        raw.push_back(runProcess(self + " rawcopy \"" + install.component() + "\"", code));
        ok = ok && code == 0;
        set.push_back(
            runProcess(sedrinExe + " -c \"sentinel.checkInterval=PT" + std::to_string(10 + i) + "S\"", code));
        ok = ok && code == 0;
    }
    const double start = median(empty) * 1000;
    const double copy = median(raw) * 1000 - start;
    const double edit = median(set) * 1000 - start;
    row("Sedrin sets one value in a 1 MB file, ms over start-up (" + std::to_string(runs) + " runs" +
            (ok ? "" : ", A RUN FAILED") + ")",
        fixed(edit, 1), fixed(copy, 1) + " (raw copy + replace)", "", ok);
    row("empty process start-up, ms", fixed(start, 1), "", "", true);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "bareloop") {
            return bareLoop();
        }
        if (mode == "empty") {
            return 0;
        }
        if (mode == "rawcopy" && argc > 2) {
            return rawCopy(argv[2]);
        }
        if (mode == "idle" && argc > 2) {
            return idle(std::atoi(argv[2]));
        }
        if (mode == "latency" && argc > 2) {
            return latency(std::atoi(argv[2]));
        }
        if (mode == "sedrin" && argc > 3) {
            std::string root = argv[3];
            if (!root.empty() && root.back() != '\\' && root.back() != '/') {
                root += "\\";
            }
            return sedrin(std::atoi(argv[2]), root);
        }
    } catch (const Vorlix::Exception& failure) {
        std::printf("bench failed: %s\n", failure.fullText().c_str());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: Bench idle <seconds> | latency <crashes> | sedrin <runs> <example installation>\n");
    return 2;
}
