// OpenSecurity.h - security attributes that give every user full access to a new object.
//
// Win32-only. Processes started for the suite and the mailslots between its programs are opened by
// other accounts (services, other users' sessions); a present but null access list lets all of them
// in. The descriptor is sized by the system's constant, never by a 32-bit number.
#pragma once

#include "Foundation/Win32.h"

#include <cstdint>

namespace Vorlix {

class OpenSecurity {
public:
    enum Result : int32_t { OPEN_OK = 0, OPEN_NO_MEMORY, OPEN_CANNOT_INITIALISE, OPEN_CANNOT_SET_ACCESS };

    OpenSecurity() = default;
    OpenSecurity(const OpenSecurity&) = delete;
    OpenSecurity& operator=(const OpenSecurity&) = delete;

    // Builds the descriptor and the attributes record with inheritable handles. On failure `error`
    // holds the system error number and nothing is left allocated.
    Result build(DWORD& error);

    SECURITY_ATTRIBUTES* attributes() { return &record; }

private:
    LocalMemory descriptor;
    SECURITY_ATTRIBUTES record{};
};

} // namespace Vorlix
