// HostLayers.cpp - stand-ins for the Win32 layers the portable modules call, for the native test
// build: the exclusion guard and the configuration reader's file read.
//
// Native test build only: the configuration reader holds a Monopoly, whose real layer is Win32. The
// unnamed mode is the same as there, a lock of this process that blocks until free and counts
// nesting. The named mode stands in for the machine-wide mutex with names held in this process:
// the first acquire of a name holds it and every other one is refused at once.
#include "Foundation/Monopoly.h"

#include "Config/ConfFileRead.h"
#include "Foundation/Exception.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

namespace Vorlix {

namespace {

std::mutex namesLock;
std::set<std::string>& heldNames()
{
    static std::set<std::string> names;
    return names;
}

} // namespace

struct Monopoly::Platform {
    std::unique_ptr<std::recursive_mutex> section; // unnamed mode only
    bool holdsName = false;                        // named mode, while held
};

Monopoly::Monopoly(const std::string& newName) : platform(new Platform)
{
    setName(newName);
}

Monopoly::Monopoly() : platform(new Platform)
{
    platform->section.reset(new std::recursive_mutex);
}

Monopoly::~Monopoly()
{
    if (named) {
        release();
    }
}

bool Monopoly::setName(const std::string& newName)
{
    if (platform->holdsName) {
        return false;
    }
    name = newName;
    for (char& c : name) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    named = true;
    held = false;
    return true;
}

bool Monopoly::acquire()
{
    if (!named) {
        platform->section->lock();
        held = true;
        ++depth;
        return true;
    }
    if (held) {
        return true;
    }
    if (name.empty()) {
        return false;
    }
    std::lock_guard<std::mutex> hold(namesLock);
    if (!heldNames().insert(name).second) {
        return false;
    }
    platform->holdsName = true;
    held = true;
    return true;
}

bool Monopoly::release()
{
    if (!held) {
        return true;
    }
    if (named) {
        std::lock_guard<std::mutex> hold(namesLock);
        heldNames().erase(name);
        platform->holdsName = false;
        held = false;
        return true;
    }
    --depth;
    if (depth == 0) {
        held = false;
    }
    platform->section->unlock();
    return true;
}

} // namespace Vorlix

// The configuration reader's file read, through the standard library.

namespace Vorlix {

void readConfigurationFile(const std::string& fileName, std::string& content)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        VORLIX_THROW(FileException, FL_EXISTS_NOT, fileName);
    }
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        VORLIX_THROW(FileException, FL_READ, fileName);
    }
}

} // namespace Vorlix
