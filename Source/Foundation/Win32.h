// Win32.h - the one gateway to <windows.h>.
//
// Win32-only. Every platform layer includes this header, never <windows.h> itself, so that the
// lean-and-mean subset, NOMINMAX and the pinned target version hold everywhere. Portable modules
// (strings, tokenizers, time, XML text, log formatting, the IPC wire format) include neither.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

#include <windows.h>

// The NT create-disposition macro shares its name with our file access flag FILE_CREATE; nothing
// here uses the macro, so it goes.
#ifdef FILE_CREATE
#undef FILE_CREATE
#endif

#include <utility>

namespace Vorlix {

// Owns one raw system resource; Traits says how to close it and which value means "none".
template <typename Traits> class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle h) : handle(h) {}
    ~ScopedHandle() { close(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other) {
            close();
            handle = other.release();
        }
        return *this;
    }

    bool valid() const { return handle != Traits::invalid(); }
    explicit operator bool() const { return valid(); }
    Handle get() const { return handle; }

    Handle release()
    {
        Handle h = handle;
        handle = Traits::invalid();
        return h;
    }

    // Closing keeps the caller's last error, so a failure can be read after cleanup.
    void close()
    {
        if (valid()) {
            DWORD lastError = GetLastError();
            Traits::close(handle);
            SetLastError(lastError);
        }
        handle = Traits::invalid();
    }

private:
    Handle handle = Traits::invalid();
};

// CreateMutexA, CreateProcessA, CreateThread and OpenProcess answer NULL on failure.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
};

// CreateFileA and CreateMailslotA answer INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { FindClose(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};

// Owns an initialised critical section; it is deleted with the owner.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section); }
    ~CriticalSection() { DeleteCriticalSection(&section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter() { EnterCriticalSection(&section); }
    void leave() { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};

// LocalAlloc answers NULL on failure.
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { LocalFree(h); }
};

using KernelHandle = ScopedHandle<KernelHandleTraits>;
using FileHandle = ScopedHandle<FileHandleTraits>;
using FindHandle = ScopedHandle<FindHandleTraits>;
using RegKey = ScopedHandle<RegKeyTraits>;
using LocalMemory = ScopedHandle<LocalMemoryTraits>;

} // namespace Vorlix
