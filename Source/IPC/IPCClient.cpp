// IPCClient.cpp - formatting and sending messages to a server.
//
// Portable: no platform headers.
#include "IPC/IPCClient.h"

#include "Foundation/Exception.h"
#include "IPC/IPCMessage.h"

#include <new>

namespace Vorlix {

IPCClient::IPCClient(const std::string& serverNameToUse) : serverName(serverNameToUse) {}

IPCClient::~IPCClient() = default;

bool IPCClient::send(const std::string& type, const std::string& id, const std::string& text,
                     const std::string& sender)
{
    const std::string wire = buildMessage(type, id, text, sender);
    MailSlot* slot = nullptr;
    {
        std::lock_guard<std::mutex> lock(transportLock);
        if (!transport) {
            try {
                transport.reset(new (std::nothrow) MailSlot(IPC_SENDER, serverName));
            } catch (IPCException& caught) {
                VORLIX_RETHROW(caught);
            }
            if (!transport) {
                VORLIX_THROW(IPCException, IC_MEM, "");
            }
        }
        slot = transport.get();
    }
    try {
        // The transport serialises its own senders; it lives as long as the client. A false answer
        // means only that the guard was not given back: the datagram itself was written.
        slot->send(wire);
        return true;
    } catch (IPCException& caught) {
        VORLIX_HERE(caught);
        return false;
    }
}

} // namespace Vorlix
