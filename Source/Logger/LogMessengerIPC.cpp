// LogMessengerIPC.cpp - local log line plus forwarding to the core service.
//
// No platform headers here.
#include "Logger/LogMessengerIPC.h"

#include "Logger/LogRecord.h"

namespace Vorlix {

bool LogMessengerIPC::deliver(const std::string& recordText)
{
    const bool written = LogMessenger::deliver(recordText);
    if (isDebugRecordText(recordText)) {
        return written;
    }
    try {
        IPCClient* sender = nullptr;
        {
            std::lock_guard<std::mutex> hold(clientLock);
            if (!client) {
                client.reset(new IPCClient(kCoreServer));
            }
            sender = client.get();
        }
        // Nobody may be listening; the local log is what counts.
        sender->send("LOGMSG", "", recordText, "");
    } catch (...) {
        return false;
    }
    return written;
}

} // namespace Vorlix
