// LogBench.cpp - lines per second through a logger unit into the log file agent, set beside a raw
// loop of the same work (named guard, append, flush) in the same run.
//
// Win32 tool (runs under Wine here): LogBench [lines] [directory]
#include "File/FileBase.h"
#include "File/FileOps.h"
#include "Foundation/Monopoly.h"
#include "Foundation/Win32.h"
#include "Logger/LoggerUnit.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The agent's own work per line without anything around it.
double rawLoop(const std::string& path, int lines, const std::string& text)
{
    Vorlix::FilePlain file(path);
    file.open(Vorlix::FILE_WRITE | Vorlix::FILE_CREATE | Vorlix::FILE_APPEND | Vorlix::FILE_DIRECT |
              Vorlix::FILE_NOLOCK);
    const std::string guardName = Vorlix::FileUtils::fileNamePart(path);
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i) {
        Vorlix::Monopoly guard(guardName);
        while (!guard.acquire()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        file.seek(0, 2);
        file.write(text + "\r\n");
        file.flush();
    }
    const double elapsed = seconds(start);
    file.close();
    return lines / elapsed;
}

double throughUnit(const std::string& path, int lines, const std::string& text)
{
    Vorlix::CountedHandle<Vorlix::LogMessenger> messenger(new Vorlix::LogMessenger);
    messenger->open(path);
    Vorlix::CountedHandle<Vorlix::LogDispatcher> dispatcher(new Vorlix::LogDispatcher(20, messenger));
    Vorlix::LoggerUnit unit(dispatcher, 23);
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i) {
        if (!unit.debug(3, text)) {
            std::fprintf(stderr, "line %d not written\n", i);
            std::exit(1);
        }
    }
    return lines / seconds(start);
}

} // namespace

int main(int argc, char** argv)
{
    const int lines = argc > 1 ? std::atoi(argv[1]) : 5000;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = argc > 2 ? std::string(argv[2]) : std::string(temp);
    const std::string rawPath = dir + "\\logbench-raw-" + std::to_string(GetCurrentProcessId()) + ".log";
    const std::string unitPath = dir + "\\logbench-unit-" + std::to_string(GetCurrentProcessId()) + ".log";
    // The unit's line is the log line the raw loop writes: label, time, identifier and text.
    const std::string text = "statusMonitor: Checking application \"Recorder\", restart count 0.";
    const std::string rawLine = "debug-3  2008-03-02T14:03:09 (20.23)    " + text;

    // Without a rotation scheme, and with the shipped configuration's size rotation (10 MiB, not
    // reached here), which asks for the file's size before every line.
    for (const int32_t scheme : {0, static_cast<int32_t>(Vorlix::ROTATE_SIZE)}) {
        Vorlix::setRotationScheme(scheme);
        std::printf("rotation scheme %d\n", static_cast<int>(scheme));
        double bestRaw = 0;
        double bestUnit = 0;
        for (int round = 0; round < 3; ++round) {
            const double raw = rawLoop(rawPath, lines, rawLine);
            const double unit = throughUnit(unitPath, lines, text);
            bestRaw = raw > bestRaw ? raw : bestRaw;
            bestUnit = unit > bestUnit ? unit : bestUnit;
            std::printf("round %d: raw %.0f lines/s, unit %.0f lines/s, ratio %.2f\n", round + 1, raw, unit,
                        unit / raw);
        }
        std::printf("best: raw %.0f lines/s, unit %.0f lines/s, ratio %.2f\n", bestRaw, bestUnit,
                    bestUnit / bestRaw);
        // One row of the benchmark table (see Tools/Bench).
        std::printf("ROW|log lines per s through a unit%s|%.0f|%.0f (raw guard + append + flush)||-\n",
                    scheme == 0 ? "" : ", size rotation", bestUnit, bestRaw);
        Vorlix::FileUtils::removeFile(rawPath, true);
        Vorlix::FileUtils::removeFile(unitPath, true);
    }
    Vorlix::FileUtils::removeFile(rawPath, true);
    Vorlix::FileUtils::removeFile(unitPath, true);
    return 0;
}
