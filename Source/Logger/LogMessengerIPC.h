// LogMessengerIPC.h - the messenger that writes every record to its log file and also offers
// catalogued records to the suite's core service as "LOGMSG" messages.
//
// No platform headers here; the client's transport is the IPC layer's.
#pragma once

#include "IPC/IPCClient.h"
#include "Logger/LogMessenger.h"

#include <memory>
#include <mutex>
#include <string>

namespace Vorlix {

class LogMessengerIPC : public LogMessenger {
public:
    static constexpr const char* kCoreServer = "Vorlix_Core";

    LogMessengerIPC() = default;
    ~LogMessengerIPC() override = default;

    // The local write's result; false also when a catalogued record cannot be offered (no client
    // could be made). A core service that is not running changes nothing.
    bool deliver(const std::string& recordText) override;

private:
    std::mutex clientLock; // threads that forward their first records together make one client
    std::unique_ptr<IPCClient> client;
};

} // namespace Vorlix
