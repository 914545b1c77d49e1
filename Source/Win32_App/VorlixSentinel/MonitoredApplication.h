// MonitoredApplication.h - one application the watchdog keeps running, and the hand-over of a
// process-information reply from the IPC listener to the status monitor.
//
// Win32 program code (the record holds a process job).
#pragma once

#include "Foundation/CountedHandle.h"
#include "Foundation/StringUtils.h"
#include "JobInstance/ProcessInstance.h"
#include "Time/DateTime.h"

#include <cstdint>
#include <list>
#include <mutex>
#include <set>
#include <string>

struct MonitoredApplication {
    std::string name;              // also the program's file name without ".exe"
    Vorlix::DateTime lastStart{0}; // last successful start by the watchdog; the epoch when new
    int32_t restartCount = 0;
    std::string id; // the application's IPC name; its server is id + "_" + tag
    bool active = false;
    Vorlix::CountedHandle<Vorlix::ProcessInstance> process;
    std::string processInfo; // the last SEND_PROCESS_INFO reply (status monitor's copy)
};

using ApplicationList = std::list<MonitoredApplication>;

// The record that awaits a SEND_PROCESS_INFO reply and the reply text, under one lock: the
// listener stores a reply only while a query is pending, and only into this hand-over, never into
// a record that the status monitor may remove.
class InfoHandOver {
public:
    // Starts a query for `record`, asked of the server `asked`: forgets any earlier reply.
    void begin(const MonitoredApplication* record, const std::string& asked = std::string())
    {
        std::lock_guard<std::mutex> hold(lock);
        pending = record;
        askedServer = asked;
        reply.clear();
    }

    // From the listener: false when no query is pending, or when the reply comes from the server
    // of an earlier query that ended without an answer (a late answer of another application).
    // Any other sender is taken: an application names itself as it likes, and mailslot names
    // ignore case.
    bool deliver(const std::string& text, const std::string& sender = std::string())
    {
        std::lock_guard<std::mutex> hold(lock);
        if (pending == nullptr) {
            return false;
        }
        const std::string from = Vorlix::lowerCopy(sender);
        if (!from.empty() && from != Vorlix::lowerCopy(askedServer) && unanswered.count(from) != 0) {
            return false;
        }
        reply = text;
        return true;
    }

    bool answered() const
    {
        std::lock_guard<std::mutex> hold(lock);
        return !reply.empty();
    }

    // Ends the query: nothing is pending any more; answers the reply (empty when none came).
    std::string finish()
    {
        std::lock_guard<std::mutex> hold(lock);
        pending = nullptr;
        // A server that did not answer in time may still answer while the next one is asked.
        if (!askedServer.empty()) {
            if (reply.empty()) {
                unanswered.insert(Vorlix::lowerCopy(askedServer));
            } else {
                unanswered.erase(Vorlix::lowerCopy(askedServer));
            }
        }
        std::string text;
        text.swap(reply);
        return text;
    }

    bool isPending() const
    {
        std::lock_guard<std::mutex> hold(lock);
        return pending != nullptr;
    }

private:
    mutable std::mutex lock;
    const MonitoredApplication* pending = nullptr;
    std::string askedServer;
    std::string reply;
    std::set<std::string> unanswered; // lower-case names of servers whose query timed out
};
