// ProcessInfoProbe.h - asks a monitored application for its process id the way the watchdog
// does (the SEND_PROCESS_INFO query over IPC), from a mailslot of the caller's own; and the user
// tag that every per-user IPC name ends with.
//
// Win32 tool code, shared by the reference application, the demo and the watchdog's tests.
#pragma once

#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <string>
#include <thread>

namespace ReferenceApp {

// The user name with every blank as an underscore.
inline std::string userTag()
{
    char user[257] = {};
    DWORD size = sizeof user;
    if (!GetUserNameA(user, &size)) {
        return "unknown";
    }
    std::string tag = user;
    for (char& c : tag) {
        if (c == ' ') {
            c = '_';
        }
    }
    return tag;
}

// Asks the application with IPC name `id` for its process id; 0 when it does not answer in time.
class Probe {
public:
    explicit Probe(const std::string& prefix = "SentinelProbe")
        : name(prefix + std::to_string(GetCurrentProcessId())), slot(Vorlix::IPC_RECEIVER, name)
    {
    }

    uint32_t processId(const std::string& id,
                       std::chrono::milliseconds wait = std::chrono::milliseconds(2000))
    {
        std::list<std::string> stale;
        slot.receive(stale);
        const std::string server = id + "_" + userTag();
        try {
            Vorlix::IPCClient client(server);
            if (!client.send("COMMAND", "SEND_PROCESS_INFO", "SEND_PROCESS_INFO", name)) {
                return 0;
            }
        } catch (...) {
            return 0;
        }
        const auto end = std::chrono::steady_clock::now() + wait;
        for (;;) {
            std::list<std::string> received;
            slot.receive(received);
            for (const std::string& message : received) {
                const Vorlix::IPCFields fields = Vorlix::cutMessage(message);
                // A late answer of another application, asked before, is not this one's.
                if (fields.type == "REPLY" && fields.id == "SEND_PROCESS_INFO" &&
                    (fields.sender.empty() || fields.sender == server)) {
                    return static_cast<uint32_t>(std::strtoul(fields.text.c_str(), nullptr, 10));
                }
            }
            if (std::chrono::steady_clock::now() >= end) {
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // Polls until the application answers with a process id other than `other`.
    uint32_t waitForProcess(const std::string& id, std::chrono::milliseconds deadline, uint32_t other = 0)
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            const uint32_t pid = processId(id, std::chrono::milliseconds(700));
            if (pid != 0 && pid != other) {
                return pid;
            }
            if (std::chrono::steady_clock::now() >= end) {
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    std::string name;

private:
    Vorlix::MailSlot slot;
};

} // namespace ReferenceApp
