// ReferenceApp.cpp - the reference monitored application: what a program of the suite does so
// that the watchdog can find, attach to and stop it. Also a test peer.
//
// Win32 tool. It runs its IPC server `id` + "_" + the user tag (the user name with blanks as
// underscores), answers the watchdog's SEND_PROCESS_INFO query with its process and primary
// thread ids, and ends on the command DIE (exit code 0).
//
// Settings, from the command line or, when the command line gives none, from the file beside the
// program named like it with ".settings" instead of ".exe" (one "name=value" a line):
//   id=<name>          IPC name (default "Reference")
//   crash-after=<s>    end by force with exit code 3 after that many seconds
//   exit-now=1         end at once with exit code 1
//   silent=1           run the server but never answer a query
//   lifetime=<s>       end by itself after that many seconds (default 120), so no test leaves it
// Command line form: --id X --crash-after N --exit-now --silent --lifetime N
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCServer.h"
#include "ReferenceApp/ProcessInfoProbe.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

struct Settings {
    std::string id = "Reference";
    long crashAfter = -1;
    bool exitNow = false;
    bool silent = false;
    long lifetime = 120;
};

Settings settings;
std::string ownName;
DWORD primaryThread = 0;
std::atomic<bool> dieReceived{false};

void applySetting(const std::string& name, const std::string& value)
{
    if (name == "id") {
        settings.id = value;
    } else if (name == "crash-after") {
        settings.crashAfter = std::strtol(value.c_str(), nullptr, 10);
    } else if (name == "exit-now") {
        settings.exitNow = value != "0";
    } else if (name == "silent") {
        settings.silent = value != "0";
    } else if (name == "lifetime") {
        settings.lifetime = std::strtol(value.c_str(), nullptr, 10);
    }
}

void readSettingsFile()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, length);
    const auto dot = file.find_last_of('.');
    if (dot != std::string::npos) {
        file.erase(dot);
    }
    std::ifstream in(file + ".settings");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            applySetting(line.substr(0, equals), line.substr(equals + 1));
        }
    }
}

void onMessage(const std::string& type, const std::string& id, const std::string& text,
               const std::string& sender)
{
    if (type != "COMMAND") {
        return;
    }
    if (text == "DIE") {
        dieReceived = true;
    } else if (id == "SEND_PROCESS_INFO" && !settings.silent) {
        try {
            Vorlix::IPCClient reply(sender);
            reply.send("REPLY", "SEND_PROCESS_INFO",
                       std::to_string(GetCurrentProcessId()) + "," + std::to_string(primaryThread), ownName);
        } catch (...) {
            // The watchdog treats a missing answer as "not running"; nothing else to do.
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    primaryThread = GetCurrentThreadId();
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            const bool flag = option == "--exit-now" || option == "--silent";
            if (flag) {
                applySetting(option.substr(2), "1");
            } else if (option.rfind("--", 0) == 0 && i + 1 < argc) {
                applySetting(option.substr(2), argv[++i]);
            }
        }
    } else {
        readSettingsFile();
    }
    if (settings.exitNow) {
        return 1;
    }
    ownName = settings.id + "_" + ReferenceApp::userTag();
    Vorlix::IPCServer server(ownName, Vorlix::CountedHandle<Vorlix::LogDispatcher>(), &onMessage);

    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = (GetTickCount64() - start) / 1000;
        if (dieReceived) {
            break;
        }
        if (settings.crashAfter >= 0 && elapsed >= static_cast<ULONGLONG>(settings.crashAfter)) {
            TerminateProcess(GetCurrentProcess(), 3);
        }
        if (elapsed >= static_cast<ULONGLONG>(settings.lifetime)) {
            break;
        }
        Sleep(50);
    }
    server.stop();
    return 0;
}
