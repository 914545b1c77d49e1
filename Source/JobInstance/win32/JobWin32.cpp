// JobWin32.cpp - exit codes and waiting, shared by process and thread jobs.
//
// Win32-only.
#include "JobInstance/win32/JobWin32.h"

#include "Time/Timer.h"

namespace Vorlix {

ExitState queryExit(HANDLE handle, bool isProcess, DWORD& code, DWORD& error)
{
    if (handle == nullptr) {
        // Never started: asking the system with a null handle could only give the same answer.
        error = ERROR_INVALID_HANDLE;
        return ExitState::InvalidHandle;
    }
    const BOOL ok = isProcess ? GetExitCodeProcess(handle, &code) : GetExitCodeThread(handle, &code);
    if (!ok) {
        error = GetLastError();
        return error == ERROR_INVALID_HANDLE ? ExitState::InvalidHandle : ExitState::Failed;
    }
    if (code == STILL_ACTIVE && WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) {
        return ExitState::Running;
    }
    return ExitState::Ended;
}

bool waitWhileRunning(JobInstance& job, uint32_t waitMs, uint32_t stepMs)
{
    for (uint32_t waited = 0; waited < waitMs; waited += stepMs) {
        if (job.getStatus() != JOB_RUNNING) {
            return false;
        }
        Timer::sleep(stepMs);
    }
    return job.getStatus() == JOB_RUNNING;
}

} // namespace Vorlix
