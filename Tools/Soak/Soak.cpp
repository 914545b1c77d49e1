// Soak.cpp - fault and load runs against the real programs, each bounded in time and ending with
// one "PASS name: ..." or "FAIL name: ..." line.
//
// Win32 tool (run by `make soak`, not a test). Usage:
//   Soak kills <runs> <example installation dir>   random kills of Sedrin and of a file writer
//   Soak datagrams <count>                          malformed and well-formed datagrams at a watchdog
//   Soak storm <seconds>                            an application that exits at once, figures sampled
//   Soak logging <lines per process>                four processes logging to one rotating file
// Roles started by the runs themselves: Soak writer <path>, Soak logger <path> <id> <lines>.
#include "File/FileBase.h"
#include "Foundation/Exception.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"
#include "Logger/LogMessengerIPC.h"
#include "Logger/LogVocabulary.h"
#include "Logger/LoggerAgent.h"
#include "Logger/LoggerUnit.h"
#include "Soak/SedrinInstall.h"
#include "Soak/SoakSupport.h"
#include "Time/TimeSpan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>

namespace {

using namespace Soak;

// --- Random kills during saves -------------------------------------------------------------

std::string versionContent(int version)
{
    // Big enough that a save takes a while; both ends name the version, so a torn file shows.
    const std::string head = "version " + std::to_string(version) + "\n";
    return head + std::string(80000, static_cast<char>('a' + version % 26)) + "\nend " +
           std::to_string(version) + "\n";
}

int versionOf(const std::string& bytes)
{
    if (bytes.compare(0, 8, "version ") != 0) {
        return -1;
    }
    const int version = std::atoi(bytes.c_str() + 8);
    return bytes == versionContent(version) ? version : -1;
}

int writerRole(const std::string& path)
{
    int version = std::max(versionOf(readAll(path)), 0);
    for (;;) {
        Vorlix::FilePlain file(path);
        file.setLockPeriod(Vorlix::TimeSpan(1));
        try {
            file.open(Vorlix::FILE_WRITE | Vorlix::FILE_TRUNCATE | Vorlix::FILE_CREATE);
            file.write(versionContent(++version));
            file.close();
        } catch (const Vorlix::Exception&) {
            Sleep(20);
        }
    }
}

// Runs Sedrin to its end; its exit code.
uint32_t runSedrin(const std::string& arguments)
{
    Child sedrin;
    uint32_t code = 12345;
    if (sedrin.start("\"" + programDirectory() + "Sedrin.exe\" " + arguments)) {
        sedrin.wait(60000, code);
    }
    return code;
}

int kills(int runs, const std::string& exampleRoot)
{
    std::mt19937 random(static_cast<unsigned>(GetTickCount()));
    std::map<std::string, int> outcomes;
    bool whole = true;
    std::string failure;

    // The initializer: each run sets the value to a new text; the file must afterwards be the
    // whole old or the whole new version, byte for byte.
    SedrinInstallation install(exampleRoot, 200000);
    if (runSedrin("-r \"" + install.root() + "\"") != 0) {
        result(false, "kills", "Sedrin could not set the root");
        return 1;
    }
    std::string current = readAll(install.component());
    const std::string key = "<Value type=\"timespan\">";
    const auto withValue = [&](const std::string& bytes, const std::string& value) {
        std::string out = bytes;
        const size_t at = out.find(key) + key.size();
        out.replace(at, out.find('<', at) - at, value);
        return out;
    };
    // Under Wine a run's save lasts about a millisecond and most runs end within a fixed delay from
    // their start, so such kills rarely hit a save; and a Sleep overshoots it. Each run is killed
    // within 0.4 ms after its lock file appears, timed by spinning.
    const std::string lockPath = install.component() + ".lock";
    const auto lockSeen = [&](const Child& sedrin) {
        while (sedrin.running()) {
            if (GetFileAttributesA(lockPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
                return true;
            }
            Sleep(1);
        }
        return false;
    };
    std::uniform_int_distribution<int> sedrinKill(0, 400); // microseconds
    int sedrinKilled = 0;
    int sedrinInSave = 0;
    for (int run = 0; run < runs / 2; ++run) {
        const std::string value = "PT" + std::to_string(run + 10) + "S";
        const std::string next = withValue(current, value);
        Child sedrin;
        sedrin.start("\"" + programDirectory() + "Sedrin.exe\" -c \"sentinel.checkInterval=" + value + "\"");
        if (lockSeen(sedrin)) {
            const auto at = std::chrono::steady_clock::now() + std::chrono::microseconds(sedrinKill(random));
            while (std::chrono::steady_clock::now() < at) {
            }
        }
        const bool killed = sedrin.running();
        sedrin.kill();
        sedrinKilled += killed ? 1 : 0;
        const std::string found = readAll(install.component());
        if (found == current) {
            outcomes[killed ? "sedrin old" : "sedrin old (ended)"]++;
        } else if (found == next) {
            outcomes[killed ? "sedrin new" : "sedrin new (ended)"]++;
            current = next;
        } else {
            whole = false;
            failure = "Sedrin run " + std::to_string(run) + " left a torn file";
            break;
        }
        // A lock left by a killed run expires after its period; the soak does not wait for that.
        if (DeleteFileA(lockPath.c_str())) {
            outcomes["sedrin lock left"]++;
            sedrinInSave += killed ? 1 : 0;
        }
    }
    // A writer through the file objects, killed at random moments.
    ScratchDir dir("vlxwriter");
    const std::string path = dir.path + "crash.xml";
    writeAll(path, versionContent(0));
    int previous = 0;
    std::uniform_int_distribution<int> writerKill(20, 300);
    for (int run = 0; whole && run < runs - runs / 2; ++run) {
        Child writer;
        writer.start("\"" + programDirectory() + "Soak.exe\" writer \"" + path + "\"");
        Sleep(static_cast<DWORD>(writerKill(random)));
        writer.kill();
        const int found = versionOf(readAll(path));
        if (found < previous) {
            whole = false;
            failure = "writer run " + std::to_string(run) + " left no whole version";
            break;
        }
        outcomes[found == previous ? "writer old" : "writer new"]++;
        previous = found;
        if (DeleteFileA((path + ".lock").c_str())) {
            outcomes["writer lock left"]++;
        }
    }
    // Only kills that ended a running save count: runs that ended first prove nothing.
    const bool enoughKills = !whole || (sedrinKilled * 2 >= runs / 2 && sedrinInSave > 0);
    if (!enoughKills) {
        whole = false;
        failure = "only " + std::to_string(sedrinKilled) + " of " + std::to_string(runs / 2) +
                  " Sedrin runs were killed, " + std::to_string(sedrinInSave) + " of them inside a save";
    }

    std::string details = std::to_string(runs) + " runs; sedrin killed=" + std::to_string(sedrinKilled) + ";";
    for (const auto& outcome : outcomes) {
        details += " " + outcome.first + "=" + std::to_string(outcome.second);
    }
    result(whole, "kills", whole ? details : failure + "; " + details);
    return whole ? 0 : 1;
}

// --- Datagrams at a running watchdog ---------------------------------------------------------

std::string randomBytes(std::mt19937& random, size_t length)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::string out(length, '\0');
    for (char& c : out) {
        c = static_cast<char>(byte(random));
    }
    return out;
}

bool logHas(const std::string& path, const std::string& text)
{
    return readAll(path).find(text) != std::string::npos;
}

int datagrams(int count)
{
    WatchdogInstallation install({{"recorder", "Recorder", ""}}, 3);
    Child watchdog;
    if (!install.startWatchdog(watchdog)) {
        result(false, "datagrams", "cannot start the watchdog");
        return 1;
    }
    ReferenceApp::Probe probe("SoakProbe");
    const uint32_t first = probe.waitForProcess("Recorder", 20s);
    const std::string server = "Sentinel_" + ReferenceApp::userTag();
    Vorlix::MailSlot raw(Vorlix::IPC_SENDER, server);
    Vorlix::IPCClient client(server);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> length(0, 400);
    const char* const types[] = {"COMMAND", "REPLY", "RUN_PROG", "LOGMSG", "", "COMMAND\x1B"};
    const char* const texts[] = {"STATUS_CHECK",
                                 "RUN_PROG",
                                 "RUN_PROG|",
                                 "RUN_PROGa|b|c",
                                 "FLY",
                                 "",
                                 "STATUS_CHECK\r\nFATAL forged",
                                 "1,2",
                                 "x,y",
                                 "99999999999999999999,1"};
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        try {
            switch (kind(random)) {
            case 0:
            case 1:
                raw.send(randomBytes(random, static_cast<size_t>(length(random))));
                break;
            case 2: // the product's word, then garbage
                raw.send("Vorlix" + randomBytes(random, static_cast<size_t>(length(random))));
                break;
            case 3: // well formed but truncated at a random place
            {
                const std::string whole = Vorlix::buildMessage("COMMAND", "", "STATUS_CHECK", "Soak");
                raw.send(whole.substr(0, static_cast<size_t>(length(random)) % (whole.size() + 1)));
                break;
            }
            default: {
                const std::string type = types[random() % (sizeof types / sizeof types[0])];
                const std::string text = texts[random() % (sizeof texts / sizeof texts[0])];
                client.send(type, random() % 2 ? "SEND_PROCESS_INFO" : "", text, "Soak" + std::to_string(i));
                break;
            }
            }
            ++sent;
        } catch (const Vorlix::Exception&) {
            // A full mailslot refuses a write: the sender's problem, not the watchdog's.
        }
        if (i % 200 == 199) {
            Sleep(100); // the watchdog reads once a second; let the mailslot drain now and then
        }
    }
    // Afterwards every command is obeyed: a check, a reconfiguration, a restart and DIE.
    const bool alive = watchdog.running();
    client.send("COMMAND", "", "STATUS_CHECK", "SoakAfter");
    const bool checked =
        waitUntil([&] { return logHas(install.debugLog(), "Was checked by SoakAfter."); }, 60s);
    client.send("COMMAND", "", "RECONFIG", "SoakAfter");
    const bool reconfigured =
        waitUntil([&] { return logHas(install.debugLog(), "Finished reconfiguring."); }, 60s);
    const uint32_t now = probe.processId("Recorder", 3s);
    bool restarted = false;
    if (now != 0) {
        killProcess(now);
        restarted = probe.waitForProcess("Recorder", 30s, now) != 0;
    }
    const uint32_t code = stopWatchdog(watchdog);
    const bool passed = first != 0 && alive && checked && reconfigured && restarted && code == 0;
    result(passed, "datagrams",
           std::to_string(sent) + " of " + std::to_string(count) + " datagrams sent; alive " +
               (alive ? "yes" : "no") + ", STATUS_CHECK " + (checked ? "obeyed" : "lost") + ", RECONFIG " +
               (reconfigured ? "obeyed" : "lost") + ", restart " + (restarted ? "done" : "missing") +
               ", DIE exit code " + std::to_string(static_cast<int32_t>(code)));
    for (const char* app : {"Recorder"}) {
        if (const uint32_t pid = probe.processId(app, 500ms)) {
            killProcess(pid);
        }
    }
    return passed ? 0 : 1;
}

// --- Restart storm ---------------------------------------------------------------------------

int storm(int seconds)
{
    WatchdogInstallation install({{"quitter", "Quitter", "exit-now=1\n"}}, 1);
    Child watchdog;
    if (!install.startWatchdog(watchdog)) {
        result(false, "storm", "cannot start the watchdog");
        return 1;
    }
    std::vector<ProcessFigures> samples;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end && watchdog.running()) {
        std::this_thread::sleep_for(10s);
        samples.push_back(install.figures(watchdog));
        std::printf("  %3zu: private %llu KiB, handles %u\n", samples.size(),
                    static_cast<unsigned long long>(samples.back().privateBytes / 1024),
                    samples.back().handles);
        std::fflush(stdout);
    }
    const bool alive = watchdog.running();
    const size_t restarts = [&] {
        const std::string log = readAll(install.debugLog());
        size_t n = 0;
        // WARNING 7 of the watchdog's module, whatever its catalogue text.
        for (size_t at = log.find("(20.23.07)"); at != std::string::npos;
             at = log.find("(20.23.07)", at + 1)) {
            ++n;
        }
        return n;
    }();
    const uint32_t code = stopWatchdog(watchdog);
    // Flat: after the first minute's warm-up, the last third of the samples stays within 128 KiB
    // and 4 handles of the level reached at the end of the warm-up.
    bool flat = samples.size() >= 9;
    uint64_t base = 0, peak = 0;
    uint32_t baseHandles = 0, peakHandles = 0;
    if (flat) {
        base = samples[5].privateBytes;
        baseHandles = samples[5].handles;
        for (size_t i = samples.size() * 2 / 3; i < samples.size(); ++i) {
            peak = std::max(peak, samples[i].privateBytes);
            peakHandles = std::max(peakHandles, samples[i].handles);
        }
        // Figures of 0 were not read (no host process, no handle table): nothing was checked.
        flat = base > 0 && baseHandles > 0 && peak <= base + 128 * 1024 && peakHandles <= baseHandles + 4;
    }
    const bool passed = alive && flat && restarts > 0 && code == 0;
    result(passed, "storm",
           std::to_string(seconds) + " s, " + std::to_string(restarts) + " restarts logged; private " +
               std::to_string(base / 1024) + " -> max " + std::to_string(peak / 1024) + " KiB, handles " +
               std::to_string(baseHandles) + " -> max " + std::to_string(peakHandles) + ", exit code " +
               std::to_string(static_cast<int32_t>(code)));
    return passed ? 0 : 1;
}

// --- Several processes logging to one file ---------------------------------------------------

int loggerRole(const std::string& path, const std::string& id, int lines)
{
    Vorlix::setRotationScheme(Vorlix::ROTATE_SIZE);
    Vorlix::setDebugThreshold(5);
    Vorlix::CountedHandle<Vorlix::LogMessengerIPC> messenger(new Vorlix::LogMessengerIPC);
    messenger->open(path);
    // After the agent exists: its construction sets the limit back to 10 MiB.
    Vorlix::setRotationSizeLimit(1); // MiB
    Vorlix::LoggerUnit unit(
        Vorlix::CountedHandle<Vorlix::LogDispatcher>(new Vorlix::LogDispatcher(20, messenger)), 23);
    const std::string filler(150, '.');
    int failed = 0;
    for (int i = 0; i < lines; ++i) {
        if (!unit.debug(3, "soak " + id + " " + std::to_string(i) + " " + filler + " done")) {
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

int logging(int lines)
{
    ScratchDir dir("vlxlog");
    const std::string path = dir.path + "Shared.log";
    std::vector<std::unique_ptr<Child>> loggers;
    for (int p = 0; p < 4; ++p) {
        loggers.emplace_back(new Child);
        loggers.back()->start("\"" + programDirectory() + "Soak.exe\" logger \"" + path + "\" P" +
                              std::to_string(p) + " " + std::to_string(lines));
    }
    bool ended = true;
    for (auto& logger : loggers) {
        uint32_t code = 12345;
        ended = logger->wait(600000, code) && code == 0 && ended;
    }
    // Every file of the log: the current one and its archives.
    std::map<std::string, int> seen;
    int torn = 0;
    int files = 0;
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((dir.path + "Shared*.log").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            ++files;
            std::istringstream in(readAll(dir.path + entry.cFileName));
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                const size_t at = line.find("soak P");
                if (at == std::string::npos) {
                    continue;
                }
                if (line.size() < 5 || line.compare(line.size() - 5, 5, " done") != 0) {
                    ++torn;
                    continue;
                }
                std::istringstream fields(line.substr(at + 5));
                std::string id;
                int number = -1;
                fields >> id >> number;
                // The whole text as its logger wrote it: a line whose tail is another line's is torn.
                const std::string written =
                    "soak " + id + " " + std::to_string(number) + " " + std::string(150, '.') + " done";
                if (line.compare(at, std::string::npos, written) != 0) {
                    ++torn;
                    continue;
                }
                seen[id + " " + std::to_string(number)]++;
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    int lost = 0, duplicated = 0;
    for (int p = 0; p < 4; ++p) {
        for (int i = 0; i < lines; ++i) {
            const auto it = seen.find("P" + std::to_string(p) + " " + std::to_string(i));
            if (it == seen.end()) {
                ++lost;
            } else if (it->second > 1) {
                duplicated += it->second - 1;
            }
        }
    }
    // The run is about rotation too: lines that all stayed in one file did not go through one.
    const bool passed = ended && lost == 0 && duplicated == 0 && torn == 0 && files > 1;
    result(passed, "logging",
           "4 processes x " + std::to_string(lines) + " lines into " + std::to_string(files) +
               " file(s): lost " + std::to_string(lost) + ", duplicated " + std::to_string(duplicated) +
               ", torn " + std::to_string(torn) + (ended ? "" : "; a logger failed"));
    return passed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "writer" && argc > 2) {
            return writerRole(argv[2]);
        }
        if (mode == "logger" && argc > 4) {
            return loggerRole(argv[2], argv[3], std::atoi(argv[4]));
        }
        if (mode == "kills" && argc > 3) {
            std::string root = argv[3];
            if (!root.empty() && root.back() != '\\' && root.back() != '/') {
                root += "\\";
            }
            return kills(std::atoi(argv[2]), root);
        }
        if (mode == "datagrams" && argc > 2) {
            return datagrams(std::atoi(argv[2]));
        }
        if (mode == "storm" && argc > 2) {
            return storm(std::atoi(argv[2]));
        }
        if (mode == "logging" && argc > 2) {
            return logging(std::atoi(argv[2]));
        }
    } catch (const Vorlix::Exception& failure) {
        std::printf("FAIL soak: %s\n", failure.fullText().c_str());
        return 1;
    }
    std::fprintf(stderr, "usage: Soak kills <runs> <installation> | datagrams <count> | storm <seconds> | "
                         "logging <lines>\n");
    return 2;
}
