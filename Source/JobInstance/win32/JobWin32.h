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

// The status the system reports: JOB_RUNNING, JOB_FINISHED or JOB_NOT_STARTED (invalid handle);
// throws JB_UNKNOWN_ERROR when the state cannot be read.
int32_t systemStatus(HANDLE handle, bool isProcess);

// getExitCode for both kinds of job; never throws.
int32_t systemExitCode(HANDLE handle, bool isProcess, int32_t& exitCode);

// The polite half of terminate: posts `message` to the thread and waits up to waitMs, in steps of
// stepMs, for the job to end. True when it ended; false when the post failed or the wait ran out.
bool askToEnd(JobInstance& job, uint32_t threadId, UINT message, int32_t exitCode, uint32_t waitMs,
              uint32_t stepMs);

// The forced half of terminate; throws JB_NEVER_STARTED or JB_UNABLE_TO_TERMINATE.
void endByForce(HANDLE handle, bool isProcess, int32_t exitCode);

// Sleeps in steps of stepMs while the job still runs, for at most waitMs in all; answers whether
// the job still runs at the end.
bool waitWhileRunning(JobInstance& job, uint32_t waitMs, uint32_t stepMs);

} // namespace Vorlix
