// MailSlot.cpp - creating, opening, writing and draining Windows mailslots.
//
// Win32-only.
#include "IPC/MailSlot.h"

#include "Foundation/Exception.h"
#include "Foundation/OpenSecurity.h"
#include "Foundation/Win32.h"
#include "IPC/IPCMessage.h"

#include <new>
#include <vector>

namespace Vorlix {

const char* const MailSlot::WRITE_GUARD_NAME = "Vorlix_MailSlot";

namespace {

HANDLE asHandle(void* handle)
{
    return static_cast<HANDLE>(handle);
}

// The system's text for an error, without its line end.
std::string systemMessage(DWORD error)
{
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                                        static_cast<DWORD>(sizeof buffer), nullptr);
    std::string text(buffer, length < sizeof buffer ? length : 0);
    while (!text.empty() && static_cast<unsigned char>(text.back()) < ' ') {
        text.pop_back();
    }
    return text.empty() ? "Error " + std::to_string(error) : text;
}

// The three failures of building the open security, the same for a receiver and a sender.
void buildSecurity(OpenSecurity& security)
{
    DWORD error = 0;
    switch (security.build(error)) {
    case OpenSecurity::OPEN_OK:
        return;
    case OpenSecurity::OPEN_NO_MEMORY:
        VORLIX_THROW(IPCException, IC_MEM, "Error code " + std::to_string(error));
    default:
        VORLIX_THROW(IPCException, IC_CANNOT_CREATE_COMM, "Error code " + std::to_string(error));
    }
}

std::unique_ptr<Monopoly> makeWriteGuard()
{
    std::unique_ptr<Monopoly> guard(new (std::nothrow) Monopoly(MailSlot::WRITE_GUARD_NAME));
    if (!guard) {
        VORLIX_THROW(IPCException, IC_MEM, "");
    }
    return guard;
}

} // namespace

MailSlot::MailSlot(int32_t modeToUse, const std::string& nameToUse)
    : IPC(modeToUse), handle(INVALID_HANDLE_VALUE), name(nameToUse), writeLock(makeWriteGuard())
{
    if (mode != IPC_RECEIVER) {
        return;
    }
    OpenSecurity security;
    buildSecurity(security);
    // The read time-out never matters: receive reads only when the mailslot says a message waits.
    HANDLE created = CreateMailslotA(path().c_str(), 0, MAILSLOT_WAIT_FOREVER, security.attributes());
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        VORLIX_THROW(IPCException, IC_CANNOT_CREATE_COMM, std::to_string(error));
    }
    handle = created;
}

MailSlot::~MailSlot()
{
    writeLock.reset();
    closeHandle();
}

std::string MailSlot::path() const
{
    return std::string(mode == IPC_BROADCAST ? "\\\\*\\mailslot\\" : "\\\\.\\mailslot\\") + name;
}

void MailSlot::closeHandle()
{
    if (asHandle(handle) != INVALID_HANDLE_VALUE) {
        CloseHandle(asHandle(handle));
        handle = INVALID_HANDLE_VALUE;
    }
}

void MailSlot::openForWriting()
{
    OpenSecurity security;
    buildSecurity(security);
    HANDLE opened = CreateFileA(path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                security.attributes(), OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        VORLIX_THROW(IPCException, IC_CANNOT_SEND, systemMessage(error));
    }
    handle = opened;
}

void MailSlot::acquireWriteGuard()
{
    // The guard is a refusing lock, not a waiting one. A few quick tries catch a writer that is
    // just finishing; after that each try yields the processor for a millisecond, and a holder that
    // never lets go costs this sender a bounded wait instead of a core for ever.
    const ULONGLONG deadline = GetTickCount64() + guardWaitMs.load();
    for (uint32_t attempt = 0;; ++attempt) {
        if (writeLock->acquire()) {
            return;
        }
        if (GetTickCount64() >= deadline) {
            VORLIX_THROW(IPCException, IC_CANNOT_SEND,
                         std::string("Timed out waiting for the write guard ") + WRITE_GUARD_NAME);
        }
        Sleep(attempt < 16 ? 0 : 1);
    }
}

bool MailSlot::send(const std::string& text)
{
    if (mode == IPC_RECEIVER) {
        VORLIX_THROW(IPCException, IC_NOT_SENDER, "");
    }
    if (text.size() >= MAXDWORD) {
        VORLIX_THROW(IPCException, IC_CANNOT_SEND, "Error " + std::to_string(ERROR_INVALID_PARAMETER));
    }
    const DWORD length = static_cast<DWORD>(text.size() + 1); // the terminating NUL travels too

    std::lock_guard<std::mutex> turn(sendLock);
    if (asHandle(handle) == INVALID_HANDLE_VALUE) {
        openForWriting();
    }
    acquireWriteGuard();
    DWORD written = 0;
    const BOOL ok = WriteFile(asHandle(handle), text.c_str(), length, &written, nullptr);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (ok && written != length) {
        error = ERROR_WRITE_FAULT;
    }
    const bool released = writeLock->release();
    // Wine: an open writer handle keeps a mailslot and its name alive after its server closed it,
    // so a kept handle would write into a mailslot that no one reads and make the server's
    // restart fail with "already exists". Every send opens the mailslot anew.
    closeHandle();
    if (error != ERROR_SUCCESS) {
        std::string detail = "Error " + std::to_string(error);
        if (error == ERROR_NETWORK_UNREACHABLE) {
            detail += " - No network";
        }
        VORLIX_THROW(IPCException, IC_CANNOT_SEND, detail);
    }
    return released;
}

void MailSlot::receive(std::list<std::string>& messages)
{
    if (mode != IPC_RECEIVER) {
        VORLIX_THROW(IPCException, IC_NOT_RECEIVER, "");
    }
    size_t taken = 0;
    size_t bytes = 0;
    while (taken < receiveLimit && bytes < RECEIVE_BYTE_LIMIT) {
        DWORD nextSize = 0;
        if (!GetMailslotInfo(asHandle(handle), nullptr, &nextSize, nullptr, nullptr)) {
            VORLIX_THROW(IPCException, IC_CANNOT_RECEIVE, "");
        }
        if (nextSize == MAILSLOT_NO_MESSAGE) {
            return;
        }
        std::vector<char> buffer;
        try {
            buffer.resize(static_cast<size_t>(nextSize) + 1);
        } catch (const std::bad_alloc&) {
            VORLIX_THROW(IPCException, IC_MEM, "");
        }
        DWORD read = 0;
        if (!ReadFile(asHandle(handle), buffer.data(), nextSize, &read, nullptr)) {
            VORLIX_THROW(IPCException, IC_CANNOT_RECEIVE, "");
        }
        messages.push_back(datagramText(buffer.data(), read < nextSize ? read : nextSize));
        ++taken;
        bytes += read;
    }
}

} // namespace Vorlix
