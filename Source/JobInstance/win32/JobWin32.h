// JobWin32.h - what process and thread jobs ask the system in the same way.
//
// Win32-only.
#pragma once

#include "Foundation/Win32.h"
#include "JobInstance/JobInstance.h"

#include <cstdint>

namespace Vorlix {

enum class ExitState { Running, Ended, InvalidHandle, Failed };

// Reads the exit code of a process (isProcess) or thread. A job that really ended with the code
// 259 (the system's "still active") is told apart by its signalled handle, so it counts as ended.
// On Failed and InvalidHandle, `error` holds the system error number.
ExitState queryExit(HANDLE handle, bool isProcess, DWORD& code, DWORD& error);

// Sleeps in steps of stepMs while the job still runs, for at most waitMs in all; answers whether
// the job still runs at the end.
bool waitWhileRunning(JobInstance& job, uint32_t waitMs, uint32_t stepMs);

} // namespace Vorlix
