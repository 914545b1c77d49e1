// SentinelTestSupport.h - a watchdog installation in a temporary directory (configuration file,
// version file, program directory with copies of the reference application, registry values),
// and a probe that asks a monitored application for its process id over IPC.
//
// Win32-only test code.
#pragma once

#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "ReferenceApp/ProcessInfoProbe.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

namespace SentinelTesting {

const char* const kResources = "SOFTWARE\\Vorlix\\Resources";

using ReferenceApp::Probe;
using ReferenceApp::userTag;

inline std::string instanceMarker()
{
    return "SentinelMarker:" + userTag();
}

inline void deleteValue(const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kResources, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }
}

// The marker's value, or `missing` when it does not exist.
inline int32_t readMarker(const std::string& name, int32_t missing = -999)
{
    int32_t value = 0;
    return Vorlix::SystemInfo::getRegNumber(kResources, name, value) == 0 ? value : missing;
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

struct AppEntry {
    std::string name; // program file name without ".exe"
    std::string id;   // IPC name
    bool active = true;
    std::string settings; // the reference application's settings lines, besides its id
    bool install = true;  // copy the reference application into the program directory
};

class Installation {
public:
    Installation()
    {
        CreateDirectoryA(conf().c_str(), nullptr);
        CreateDirectoryA(bin().c_str(), nullptr);
        TestSupport::writeBytes(conf() + "version", "5.3\n");
        Vorlix::SystemInfo::setRegString(kResources, "ConfigurationDir", conf());
        Vorlix::SystemInfo::setRegNumber(kResources, "SentinelMarker", 1);
        deleteValue(instanceMarker());
        // The debug log goes to the installation's log directory under its default name, with
        // every record from the start on and no rotation.
        Vorlix::SystemInfo::setRegString(kResources, "StartupLogDir", logs());
        Vorlix::SystemInfo::setRegNumber(kResources, "StartupDebugLevel", 5);
        deleteValue("LogFileRotationScheme");
        deleteValue("SentinelDebugLog");
        // The product's message catalogues, as installed.
        const std::string catalogues = conf() + "LogMessages\\";
        CreateDirectoryA(catalogues.c_str(), nullptr);
        for (const char* name : {"sentinel.mess", "configuration.mess"}) {
            CopyFileA(
                (std::string(VORLIX_SOURCE_DIR) + "/examples/installation/Configuration/LogMessages/" + name)
                    .c_str(),
                (catalogues + name).c_str(), FALSE);
        }
    }

    std::string conf() const { return dir.path + "\\Configuration\\"; }
    std::string logs() const { return dir.path + "\\Logs\\"; }
    std::string debugLog() const { return logs() + "SentinelDebug(" + userTag() + ").log"; }
    std::string bin() const { return dir.path + "\\bin\\"; }
    std::string confFile() const { return conf() + "sentinel.conf"; }

    void writeConfiguration(const std::vector<AppEntry>& apps, const std::string& extra = "")
    {
        std::string text = "Vorlix() = \"\" {\n  directories() = \"\" {\n    bin(DirName) = \"" +
                           confPath(bin()) + "\" {}\n    conf(DirName) = \"" + confPath(conf()) +
                           "\" {}\n  }\n}\n";
        // Every debug record passes, the watchdog's own level included, unless `extra` says more.
        text += "log() = \"\" {\n  global() = \"\" {\n    debug-level(Integer) = 5 {}\n  }\n}\n";
        text += "sentinel() = \"\" {\n" + extra + "  monitor() = \"\" {\n";
        for (const AppEntry& app : apps) {
            text += "    " + app.name +
                    "() = \"\" {\n      active(Bool) = " + (app.active ? "true" : "false") +
                    " {}\n      id(String) = \"" + app.id + "\" {}\n    }\n";
        }
        text += "  }\n}\n";
        TestSupport::writeBytes(confFile(), text);
        for (const AppEntry& app : apps) {
            if (!app.install) {
                continue;
            }
            const std::string exe = bin() + app.name + ".exe";
            CopyFileA(TestSupport::programPath("ReferenceApp.exe").c_str(), exe.c_str(), FALSE);
            TestSupport::writeBytes(bin() + app.name + ".settings",
                                    "id=" + app.id + "\nlifetime=90\n" + app.settings);
        }
    }

    // Starts the watchdog with the given command line after the program path.
    bool start(TestSupport::ChildProcess& child, const std::string& arguments = "") const
    {
        const std::string exe = TestSupport::programPath("VorlixSentinel.exe");
        return child.start("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments));
    }

    TestSupport::TempDir dir;
};

inline bool processAlive(uint32_t pid)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return false;
    }
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

inline void killProcess(uint32_t pid)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process != nullptr) {
        TerminateProcess(process, 7);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

inline bool sendCommand(const std::string& text, const std::string& type = "COMMAND")
{
    Vorlix::IPCClient client("Sentinel_" + userTag());
    return client.send(type, "", text, "SentinelTest");
}

} // namespace SentinelTesting
