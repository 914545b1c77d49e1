// IPCServer.h - makes this process reachable under a name: a listener thread drains the mailslot
// of that name once a second and hands each message addressed to the suite to a handler.
//
// Win32 layer; the platform calls stay in win32/IPCServer.cpp. The handler and the stop flag are
// process-wide, so a process runs one server at a time.
#pragma once

#include "Foundation/CountedHandle.h"
#include "JobInstance/ThreadInstance.h"
#include "Logger/LoggerUnit.h"

#include <string>

namespace Vorlix {

using IPCHandler = void (*)(const std::string& type, const std::string& id, const std::string& text,
                            const std::string& sender);

class IPCServer {
public:
    static constexpr int32_t LOGGER_MODULE = 6; // "IPC"

    // Starts the listener and returns without waiting for the mailslot to exist.
    IPCServer(const std::string& name, CountedHandle<LogDispatcher> dispatcher, IPCHandler handler);
    virtual ~IPCServer();

    IPCServer(const IPCServer&) = delete;
    IPCServer& operator=(const IPCServer&) = delete;

    // Asks the listener to end and waits for it, up to 10 seconds.
    void stop();

    const std::string& getName() const { return name; }

private:
    CountedHandle<ThreadInstance> listener;
    CountedHandle<LoggerUnit> logger;
    std::string name;
};

} // namespace Vorlix
