// JobInstance.cpp - the text rules shared by the jobs: error details and command lines.
//
// Portable: no platform headers.
#include "JobInstance/JobInstance.h"
#include "JobInstance/ProcessInstance.h"

namespace Vorlix {

std::string win32ErrorText(uint32_t error)
{
    return "Win32 error code is : " + std::to_string(error);
}

// static
std::string ProcessInstance::composeCommandLine(const std::string& programPath, const std::string& arguments)
{
    // The separating blank is written even without arguments: callers and the applications they
    // start have always seen it.
    if (programPath.find(' ') != std::string::npos) {
        return "\"" + programPath + "\" " + arguments;
    }
    return programPath + " " + arguments;
}

} // namespace Vorlix
