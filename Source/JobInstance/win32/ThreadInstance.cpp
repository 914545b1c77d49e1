// ThreadInstance.cpp - running a function on a thread job, suspending, resuming and stopping it.
//
// Win32-only.
#include "JobInstance/ThreadInstance.h"

#include "Foundation/Exception.h"
#include "Foundation/Win32.h"
#include "JobInstance/win32/JobWin32.h"

#include <memory>

namespace Vorlix {

namespace {

// What the new thread needs; it owns this, so the job object may go before the thread starts.
struct ThreadStart {
    ThreadRoutine routine;
    void* parameter;
};

// The routine has the library's calling convention, the system wants its own: this entry adapts
// them, and keeps an exception of the routine from ending the whole process.
DWORD WINAPI threadEntry(LPVOID argument)
{
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
    try {
        return start->routine(start->parameter);
    } catch (...) {
        return static_cast<DWORD>(-1);
    }
}

HANDLE asHandle(void* handle)
{
    return static_cast<HANDLE>(handle);
}

[[noreturn]] void throwHandleError(DWORD error)
{
    if (error == ERROR_INVALID_HANDLE) {
        VORLIX_THROW(JobException, JB_NEVER_STARTED, "");
    }
    VORLIX_THROW(JobException, JB_UNKNOWN_ERROR, win32ErrorText(error));
}

} // namespace

ThreadInstance::ThreadInstance(ThreadRoutine startRoutineToUse, void* parameterToUse)
    : startRoutine(startRoutineToUse), parameter(parameterToUse)
{
}

ThreadInstance::~ThreadInstance()
{
    DWORD code = 0;
    DWORD error = 0;
    const ExitState state = queryExit(asHandle(threadHandle), false, code, error);
    if (state == ExitState::InvalidHandle || state == ExitState::Failed) {
        return;
    }
    if (state == ExitState::Running && killOnDestroy) {
        TerminateThread(asHandle(threadHandle), 0);
    }
    CloseHandle(asHandle(threadHandle));
}

void ThreadInstance::execute()
{
    auto start = std::make_unique<ThreadStart>(ThreadStart{startRoutine, parameter});
    DWORD newId = 0;
    HANDLE created = CreateThread(nullptr, 0, threadEntry, start.get(), 0, &newId);
    if (created == nullptr) {
        const DWORD error = GetLastError();
        VORLIX_THROW(JobException, JB_UNABLE_TO_START, win32ErrorText(error));
    }
    start.release(); // the thread owns it now
    if (threadHandle != nullptr) {
        CloseHandle(asHandle(threadHandle));
    }
    threadHandle = created;
    threadId = newId;
    lastStatus = JOB_RUNNING;
}

int32_t ThreadInstance::getStatus()
{
    if (lastStatus == JOB_TERMINATED || lastStatus == JOB_CLOSED) {
        return lastStatus;
    }
    return systemStatus(asHandle(threadHandle), false);
}

int32_t ThreadInstance::getExitCode(int32_t& exitCode)
{
    return systemExitCode(asHandle(threadHandle), false, exitCode);
}

int32_t ThreadInstance::suspend()
{
    DWORD code = 0;
    DWORD error = 0;
    switch (queryExit(asHandle(threadHandle), false, code, error)) {
    case ExitState::Running:
        break;
    case ExitState::Ended:
        return 0;
    default:
        throwHandleError(error);
    }
    const DWORD previous = SuspendThread(asHandle(threadHandle));
    if (previous == static_cast<DWORD>(-1)) {
        error = GetLastError();
        VORLIX_THROW(JobException, JB_UNKNOWN_ERROR, win32ErrorText(error));
    }
    return static_cast<int32_t>(previous) + 1;
}

int32_t ThreadInstance::resume()
{
    if (threadHandle == nullptr) {
        throwHandleError(ERROR_INVALID_HANDLE);
    }
    const DWORD previous = ResumeThread(asHandle(threadHandle));
    if (previous == static_cast<DWORD>(-1)) {
        throwHandleError(GetLastError());
    }
    return static_cast<int32_t>(previous);
}

bool ThreadInstance::terminate(bool force, int32_t exitCode, uint32_t waitMs)
{
    if (getStatus() != JOB_RUNNING) {
        return false;
    }
    if (!force && askToEnd(*this, threadId, WM_DESTROY, exitCode, waitMs, 50)) {
        lastStatus = JOB_CLOSED;
        return true;
    }
    endByForce(asHandle(threadHandle), false, exitCode);
    // The forced end is asynchronous; let it land so the status reads consistently afterwards.
    WaitForSingleObject(asHandle(threadHandle), 1000);
    lastStatus = JOB_TERMINATED;
    return true;
}

} // namespace Vorlix
