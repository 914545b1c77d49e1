// JobWin32.cpp - exit codes and waiting, shared by process and thread jobs.
//
// Win32-only.
#include "JobInstance/win32/JobWin32.h"

#include "Foundation/Exception.h"
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

int32_t systemStatus(HANDLE handle, bool isProcess)
{
    DWORD code = 0;
    DWORD error = 0;
    switch (queryExit(handle, isProcess, code, error)) {
    case ExitState::Running:
        return JOB_RUNNING;
    case ExitState::Ended:
        return JOB_FINISHED;
    case ExitState::InvalidHandle:
        return JOB_NOT_STARTED;
    case ExitState::Failed:
        break;
    }
    VORLIX_THROW(JobException, JB_UNKNOWN_ERROR, win32ErrorText(error));
}

int32_t systemExitCode(HANDLE handle, bool isProcess, int32_t& exitCode)
{
    DWORD code = 0;
    DWORD error = 0;
    switch (queryExit(handle, isProcess, code, error)) {
    case ExitState::Running:
        return JOB_RUNNING;
    case ExitState::Ended:
        exitCode = static_cast<int32_t>(code);
        return JOB_EXITED;
    case ExitState::InvalidHandle:
        return JOB_NOT_STARTED;
    case ExitState::Failed:
        break;
    }
    return JOB_SYSTEM_ERROR_BASE + static_cast<int32_t>(error);
}

bool askToEnd(JobInstance& job, uint32_t threadId, UINT message, int32_t exitCode, uint32_t waitMs,
              uint32_t stepMs)
{
    if (!PostThreadMessageA(threadId, message, static_cast<WPARAM>(static_cast<uint32_t>(exitCode)), 0)) {
        return false; // no queue to ask through: the caller forces at once
    }
    return !waitWhileRunning(job, waitMs, stepMs);
}

void endByForce(HANDLE handle, bool isProcess, int32_t exitCode)
{
    const UINT code = static_cast<UINT>(exitCode);
    if (isProcess ? TerminateProcess(handle, code) : TerminateThread(handle, code)) {
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_HANDLE) {
        VORLIX_THROW(JobException, JB_NEVER_STARTED, "");
    }
    VORLIX_THROW(JobException, JB_UNABLE_TO_TERMINATE, win32ErrorText(error));
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
