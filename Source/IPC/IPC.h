// IPC.h - the transport every messaging channel offers: send one text, receive the waiting ones.
//
// Portable: no platform headers.
#pragma once

#include <cstdint>
#include <list>
#include <string>

namespace Vorlix {

enum IPCMode : int32_t {
    IPC_RECEIVER = 0,  // owns and reads a mailslot on this machine
    IPC_SENDER = 1,    // writes to a mailslot on this machine
    IPC_BROADCAST = 2, // writes to every mailslot of the name in the primary domain
};

class IPC {
public:
    explicit IPC(int32_t modeToUse) : mode(modeToUse) {}
    virtual ~IPC() = default;

    IPC(const IPC&) = delete;
    IPC& operator=(const IPC&) = delete;

    virtual bool send(const std::string& text) = 0;
    // Appends waiting messages, oldest first, to `messages`; never waits for one to arrive.
    virtual void receive(std::list<std::string>& messages) = 0;

    int32_t getMode() const { return mode; }

protected:
    const int32_t mode;
};

} // namespace Vorlix
