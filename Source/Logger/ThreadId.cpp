// ThreadId.cpp - the calling thread's id for debug records.
//
// The only platform call of the logging front end lives here; the native test build takes the
// standard library's thread id instead.
#include "Logger/LogMessenger.h"

#ifdef _WIN32
#include "Foundation/Win32.h"
#else
#include <functional>
#include <thread>
#endif

namespace Vorlix {

uint32_t currentThreadId()
{
#ifdef _WIN32
    return static_cast<uint32_t>(GetCurrentThreadId());
#else
    return static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
#endif
}

} // namespace Vorlix
