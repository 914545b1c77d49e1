// MailSlot.h - one Windows mailslot, as the owning reader or as a writer to another's mailslot.
//
// Win32 layer; the platform types stay in win32/MailSlot.cpp, the handle is held opaquely. Every
// write on the machine goes through the guard "Vorlix_MailSlot".
#pragma once

#include "Foundation/Monopoly.h"
#include "IPC/IPC.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace Vorlix {

class MailSlot : public IPC {
public:
    static const char* const WRITE_GUARD_NAME; // "Vorlix_MailSlot"
    // One receive takes at most this many messages, or stops once it has this many bytes; the rest
    // wait in the mailslot for the next call, so a fast sender cannot grow the caller's list.
    static constexpr size_t RECEIVE_MESSAGE_LIMIT = 2000;
    static constexpr size_t RECEIVE_BYTE_LIMIT = 4u * 1024u * 1024u;
    // How long a send waits for another writer of the machine to give the guard back.
    static constexpr uint32_t DEFAULT_GUARD_WAIT_MS = 10000;

    // A receiver creates its mailslot at once (IC_CANNOT_CREATE_COMM when the name is taken);
    // senders open theirs at the first send.
    MailSlot(int32_t mode, const std::string& name);
    ~MailSlot() override;

    // True when written; false only when the guard could not be given back. Other failures throw
    // IC_NOT_SENDER or IC_CANNOT_SEND. Safe to call from several threads at once.
    bool send(const std::string& text) override;
    void receive(std::list<std::string>& messages) override;

    const std::string& getName() const { return name; }
    std::string path() const;
    void setGuardWait(uint32_t milliseconds) { guardWaitMs = milliseconds; }
    // Lowers (or restores) the per-call message cap; at least one message is taken per call.
    void setReceiveLimit(size_t messages) { receiveLimit = messages > 0 ? messages : 1; }

private:
    void openForWriting();
    void closeHandle();
    void acquireWriteGuard();

    void* handle;
    std::string name;
    std::unique_ptr<Monopoly> writeLock;
    // The guard object and the handle are per object; threads sending through one object take
    // turns here before they take the machine-wide guard.
    std::mutex sendLock;
    std::atomic<uint32_t> guardWaitMs{DEFAULT_GUARD_WAIT_MS};
    size_t receiveLimit = RECEIVE_MESSAGE_LIMIT;
};

} // namespace Vorlix
