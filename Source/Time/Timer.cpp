// Timer.cpp - the library's sleep call.
//
// The only platform call of the time subsystem lives here.
#include "Time/Timer.h"

#ifdef _WIN32
#include "Foundation/Win32.h"
#else
#include <chrono>
#include <thread>
#endif

namespace Vorlix {

// static
void Timer::sleep(uint32_t milliseconds)
{
#ifdef _WIN32
    Sleep(milliseconds);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
#endif
}

} // namespace Vorlix
