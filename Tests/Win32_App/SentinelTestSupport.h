// SentinelTestSupport.h - a watchdog installation in a temporary directory (configuration file,
// version file, program directory with copies of the reference application, registry values),
// and a probe that asks a monitored application for its process id over IPC.
//
// Win32-only test code.
#pragma once

#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

namespace SentinelTesting {

const char* const kResources = "SOFTWARE\\Vorlix\\Resources";

inline std::string userTag()
{
    char user[257] = {};
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
    std::string tag = user;
    for (char& c : tag) {
        if (c == ' ') {
            c = '_';
        }
    }
    return tag;
}

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

struct AppSpec {
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
    }

    std::string conf() const { return dir.path + "\\Configuration\\"; }
    std::string bin() const { return dir.path + "\\bin\\"; }
    std::string confFile() const { return conf() + "sentinel.conf"; }

    void writeConfiguration(const std::vector<AppSpec>& apps, const std::string& extra = "")
    {
        std::string text = "Vorlix() = \"\" {\n  directories() = \"\" {\n    bin(DirName) = \"" +
                           confPath(bin()) + "\" {}\n    conf(DirName) = \"" + confPath(conf()) +
                           "\" {}\n  }\n}\n";
        text += "sentinel() = \"\" {\n" + extra + "  monitor() = \"\" {\n";
        for (const AppSpec& app : apps) {
            text += "    " + app.name +
                    "() = \"\" {\n      active(Bool) = " + (app.active ? "true" : "false") +
                    " {}\n      id(String) = \"" + app.id + "\" {}\n    }\n";
        }
        text += "  }\n}\n";
        TestSupport::writeBytes(confFile(), text);
        for (const AppSpec& app : apps) {
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

// Asks the application with IPC name `id` for its process id; 0 when it does not answer in time.
class Probe {
public:
    Probe() : name("SentinelProbe" + std::to_string(GetCurrentProcessId())), slot(Vorlix::IPC_RECEIVER, name)
    {
    }

    uint32_t processId(const std::string& id,
                       std::chrono::milliseconds wait = std::chrono::milliseconds(2000))
    {
        std::list<std::string> stale;
        slot.receive(stale);
        try {
            Vorlix::IPCClient client(id + "_" + userTag());
            if (!client.send("COMMAND", "SEND_PROCESS_INFO", "SEND_PROCESS_INFO", name)) {
                return 0;
            }
        } catch (...) {
            return 0;
        }
        uint32_t found = 0;
        TestSupport::waitUntil(
            [&] {
                std::list<std::string> received;
                slot.receive(received);
                for (const std::string& message : received) {
                    const Vorlix::IPCFields fields = Vorlix::cutMessage(message);
                    if (fields.type == "REPLY" && fields.id == "SEND_PROCESS_INFO") {
                        found = static_cast<uint32_t>(std::strtoul(fields.text.c_str(), nullptr, 10));
                    }
                }
                return found != 0;
            },
            wait, std::chrono::milliseconds(50));
        return found;
    }

    // Polls until the application answers with a process id other than `other`.
    uint32_t waitForProcess(const std::string& id, std::chrono::milliseconds deadline, uint32_t other = 0)
    {
        uint32_t pid = 0;
        TestSupport::waitUntil(
            [&] {
                pid = processId(id, std::chrono::milliseconds(700));
                return pid != 0 && pid != other;
            },
            deadline, std::chrono::milliseconds(100));
        return pid != other ? pid : 0;
    }

    std::string name;

private:
    Vorlix::MailSlot slot;
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
