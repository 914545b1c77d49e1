// Monopoly.cpp - the exclusion guard on a named mutex or a critical section.
//
// Win32-only.
#include "Foundation/Monopoly.h"

#include "Foundation/Win32.h"

namespace Vorlix {

struct Monopoly::Platform {
    std::unique_ptr<CriticalSection> section; // unnamed mode only
    KernelHandle mutex;                       // named mode, while held
};

Monopoly::Monopoly(const std::string& newName) : platform(new Platform)
{
    setName(newName);
}

Monopoly::Monopoly() : platform(new Platform)
{
    platform->section.reset(new CriticalSection);
}

Monopoly::~Monopoly()
{
    if (named) {
        release();
    }
    if (platform->section) {
        // Give a thread that is just leaving the section time to be out of it.
        Sleep(10);
    }
}

bool Monopoly::setName(const std::string& newName)
{
    if (platform->mutex) {
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
        platform->section->enter();
        held = true;
        ++depth;
        return true;
    }
    if (held) {
        return true;
    }
    if (name.empty() || platform->mutex) {
        return false;
    }
    KernelHandle created(CreateMutexA(nullptr, TRUE, name.c_str()));
    const DWORD error = GetLastError();
    if (!created) {
        return false;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        return false; // another holder, in this or another process, has the name
    }
    platform->mutex = std::move(created);
    held = true;
    return true;
}

bool Monopoly::release()
{
    if (!held) {
        return true;
    }
    if (named) {
        if (!ReleaseMutex(platform->mutex.get())) {
            return false;
        }
        platform->mutex.close();
        held = false;
        return true;
    }
    --depth;
    if (depth == 0) {
        held = false;
    }
    platform->section->leave();
    return true;
}

} // namespace Vorlix
