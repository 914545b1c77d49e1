// IPCClient.h - sends the suite's messages to one named server.
//
// Portable header and source (the mailslot's platform calls stay in win32/MailSlot.cpp). A client
// may be shared by several threads and kept across restarts of its server.
#pragma once

#include "IPC/MailSlot.h"

#include <memory>
#include <mutex>
#include <string>

namespace Vorlix {

class IPCClient {
public:
    explicit IPCClient(const std::string& serverName);
    virtual ~IPCClient();

    IPCClient(const IPCClient&) = delete;
    IPCClient& operator=(const IPCClient&) = delete;

    // True when the datagram was written; false when the mailslot cannot be opened or written.
    // Throws IPCException only when the transport cannot be created.
    bool send(const std::string& type, const std::string& id, const std::string& text,
              const std::string& sender);

    const std::string& getServerName() const { return serverName; }

private:
    std::unique_ptr<MailSlot> transport;
    std::string serverName;
    std::mutex transportLock;
};

} // namespace Vorlix
