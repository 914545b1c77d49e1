// SentinelDemo.cpp - shows the watchdog at work on an installation: its applications started, a
// killed one restarted, checks paused and resumed by the per-instance marker, and DIE.
//
// Win32 tool used by the demo. Usage: SentinelDemo <path of VorlixSentinel.exe> <configuration
// directory> <application id>...
// It sets the registry values the watchdog starts from (the configuration directory and the
// machine-wide marker), so it is meant for a demo or test machine.
#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "ReferenceApp/ProcessInfoProbe.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

const char* const kResources = "SOFTWARE\\Vorlix\\Resources";

void say(const std::string& text)
{
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::string markerText(const std::string& name)
{
    int32_t value = 0;
    return Vorlix::SystemInfo::getRegNumber(kResources, name, value) == 0 ? std::to_string(value) : "missing";
}

bool killProcess(uint32_t pid)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return false;
    }
    const bool done = TerminateProcess(process, 9) != FALSE;
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
    return done;
}

int demo(const std::string& watchdog, const std::string& configurationDir,
         const std::vector<std::string>& ids)
{
    const std::string marker = "SentinelMarker:" + ReferenceApp::userTag();
    Vorlix::SystemInfo::setRegString(kResources, "ConfigurationDir", configurationDir);
    Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 1);
    ReferenceApp::Probe probe("SentinelDemo");

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string command = "\"" + watchdog + "\"";
    command.push_back('\0');
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        say("cannot start " + watchdog);
        return 2;
    }
    CloseHandle(info.hThread);
    say("watchdog started, process " + std::to_string(info.dwProcessId));

    // Every step that did not go as shown makes the demo end with 1, not only the exit code.
    bool asExpected = true;
    std::vector<uint32_t> pids;
    for (const std::string& id : ids) {
        const uint32_t pid = probe.waitForProcess(id, 20s);
        asExpected = asExpected && pid != 0;
        say("  " + id + (pid != 0 ? " runs as process " + std::to_string(pid) : " did not start"));
        pids.push_back(pid);
    }
    say("  marker " + marker + " = " + markerText(marker));

    if (!ids.empty() && pids[0] != 0) {
        say("killing " + ids[0] + " (process " + std::to_string(pids[0]) + ")");
        killProcess(pids[0]);
        const uint32_t again = probe.waitForProcess(ids[0], 15s, pids[0]);
        asExpected = asExpected && again != 0;
        say("  " + ids[0] +
            (again != 0 ? " restarted as process " + std::to_string(again) : " was not restarted"));
        pids[0] = again;
    }

    if (ids.size() > 1 && pids[1] != 0) {
        say("per-instance marker set to 0: checks paused");
        Vorlix::SystemInfo::setRegNumber(kResources, marker, 0);
        Sleep(5500);
        killProcess(pids[1]);
        say("  killed " + ids[1] + "; waiting one check period...");
        const uint32_t during = probe.waitForProcess(ids[1], 6s);
        asExpected = asExpected && during == 0;
        say("  " + ids[1] + (during != 0 ? " was restarted (unexpected)" : " stays stopped while paused"));
        Vorlix::SystemInfo::setRegNumber(kResources, marker, 1);
        say("per-instance marker set to 1: checks resume");
        const uint32_t after = probe.waitForProcess(ids[1], 15s);
        asExpected = asExpected && after != 0;
        say("  " + ids[1] +
            (after != 0 ? " restarted as process " + std::to_string(after) : " was not restarted"));
        pids[1] = after;
    }

    say("sending COMMAND DIE to Sentinel_" + ReferenceApp::userTag());
    try {
        Vorlix::IPCClient client("Sentinel_" + ReferenceApp::userTag());
        client.send("COMMAND", "", "DIE", "SentinelDemo");
    } catch (...) {
        say("  cannot send");
        asExpected = false;
    }
    DWORD code = 0;
    if (WaitForSingleObject(info.hProcess, 20000) != WAIT_OBJECT_0) {
        say("  the watchdog did not stop; ending it");
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    say("watchdog exit code: " + std::to_string(static_cast<int32_t>(code)));
    say("  marker " + marker + " = " + markerText(marker));
    Sleep(1000);
    for (size_t i = 0; i < ids.size(); ++i) {
        const uint32_t pid = probe.processId(ids[i], 700ms);
        say("  " + ids[i] + (pid == 0 ? " ended on DIE" : " still runs"));
        if (pid != 0) {
            asExpected = false;
            killProcess(pid);
        }
    }
    return code == 0 && asExpected ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: SentinelDemo <VorlixSentinel.exe> <configuration dir> <id>...\n");
        return 2;
    }
    std::vector<std::string> ids(argv + 3, argv + argc);
    try {
        return demo(argv[1], argv[2], ids);
    } catch (...) {
        say("demo failed");
        return 2;
    }
}
