// Monopoly.cpp - the exclusion guard on a named mutex or a critical section.
//
// Win32-only.
#include "Foundation/Monopoly.h"

#include "Foundation/Win32.h"

namespace Vorlix {

Monopoly::Monopoly(const std::string& newName)
{
    setName(newName);
}

Monopoly::Monopoly()
{
    auto* criticalSection = new CRITICAL_SECTION;
    InitializeCriticalSection(criticalSection);
    section = criticalSection;
}

Monopoly::~Monopoly()
{
    if (named) {
        release();
    }
    if (section != nullptr) {
        // Give a thread that is just leaving the section time to be out of it.
        Sleep(10);
        auto* criticalSection = static_cast<CRITICAL_SECTION*>(section);
        DeleteCriticalSection(criticalSection);
        delete criticalSection;
    }
    if (mutex != nullptr) {
        CloseHandle(static_cast<HANDLE>(mutex));
    }
}

bool Monopoly::setName(const std::string& newName)
{
    if (mutex != nullptr) {
        return false;
    }
    name = newName;
    for (char& c : name) {
        if (c == '/' || c == '\\') {
            c = '_'; // a system mutex name cannot contain a backslash
        }
    }
    named = true;
    held = false;
    return true;
}

bool Monopoly::acquire()
{
    if (!named) {
        EnterCriticalSection(static_cast<CRITICAL_SECTION*>(section));
        held = true;
        ++depth;
        return true;
    }
    if (held) {
        return true;
    }
    if (name.empty() || mutex != nullptr) {
        return false;
    }
    HANDLE created = CreateMutexA(nullptr, TRUE, name.c_str());
    const DWORD error = GetLastError();
    if (created == nullptr) {
        return false;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(created); // another holder, in this or another process, has the name
        return false;
    }
    mutex = created;
    held = true;
    return true;
}

bool Monopoly::release()
{
    if (!held) {
        return true;
    }
    if (named) {
        if (!ReleaseMutex(static_cast<HANDLE>(mutex))) {
            return false;
        }
        CloseHandle(static_cast<HANDLE>(mutex));
        mutex = nullptr;
        held = false;
        return true;
    }
    --depth;
    if (depth == 0) {
        held = false;
    }
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(section));
    return true;
}

} // namespace Vorlix
