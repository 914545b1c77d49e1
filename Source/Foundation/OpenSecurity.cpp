// OpenSecurity.cpp - the null access list descriptor.
//
// Win32-only.
#include "Foundation/OpenSecurity.h"

namespace Vorlix {

OpenSecurity::Result OpenSecurity::build(DWORD& error)
{
    descriptor = LocalMemory(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (!descriptor) {
        error = GetLastError();
        return OPEN_NO_MEMORY;
    }
    if (!InitializeSecurityDescriptor(descriptor.get(), SECURITY_DESCRIPTOR_REVISION)) {
        error = GetLastError();
        descriptor.close();
        return OPEN_CANNOT_INITIALISE;
    }
    if (!SetSecurityDescriptorDacl(descriptor.get(), TRUE, nullptr, FALSE)) {
        error = GetLastError();
        descriptor.close();
        return OPEN_CANNOT_SET_ACCESS;
    }
    record.nLength = sizeof record;
    record.lpSecurityDescriptor = descriptor.get();
    record.bInheritHandle = TRUE;
    error = 0;
    return OPEN_OK;
}

} // namespace Vorlix
