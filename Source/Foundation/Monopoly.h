// Monopoly.h - the exclusion guard.
//
// Win32 layer (the platform types stay in Monopoly.cpp). Named, the guard is a machine-wide system
// mutex: the first creator holds it and every other acquire is refused at once. Unnamed, it is an
// in-process critical section that blocks until free and counts nesting.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace Vorlix {

class Monopoly {
public:
    explicit Monopoly(const std::string& name);
    Monopoly();
    virtual ~Monopoly();

    Monopoly(const Monopoly&) = delete;
    Monopoly& operator=(const Monopoly&) = delete;

    bool acquire();
    bool release();
    bool isHeld() const { return held; }
    // Switches to the named mode; refused while a mutex is open. Slashes become underscores.
    bool setName(const std::string& newName);

    const std::string& getName() const { return name; }

private:
    // The platform objects (the critical section of the unnamed mode, the open mutex of the
    // named mode), owned so that no path can leak them.
    struct Platform;
    std::unique_ptr<Platform> platform;
    bool named = false;
    std::atomic<bool> held{false};
    std::string name;
    int32_t depth = 0;
};

} // namespace Vorlix
