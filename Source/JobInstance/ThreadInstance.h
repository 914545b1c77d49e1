// ThreadInstance.h - a job that runs a function on a new thread of this process.
//
// Win32 layer; the platform types stay in win32/ThreadInstance.cpp. Unlike a process job, a thread
// job can be suspended and resumed, and destroying it ends a thread that still runs.
#pragma once

#include "JobInstance/JobInstance.h"

#include <cstdint>

namespace Vorlix {

using ThreadRoutine = uint32_t (*)(void* parameter);

class ThreadInstance : public JobInstance {
public:
    ThreadInstance(ThreadRoutine startRoutine, void* parameter);
    ~ThreadInstance() override;

    void execute() override;
    // The new suspend count, or 0 when the thread no longer runs.
    int32_t suspend() override;
    // The suspend count before this call.
    int32_t resume() override;
    bool stop() override { return terminate(false, -1, 1000); }
    int32_t getStatus() override;
    int32_t getExitCode(int32_t& exitCode) override;

    // Posts the destroy message to the thread (unless `force`), waits up to waitMs for it to end,
    // then ends it by force. False when the thread was not running.
    bool terminate(bool force, int32_t exitCode, uint32_t waitMs);

    uint32_t getThreadId() const { return threadId; }

private:
    void* threadHandle = nullptr;
    uint32_t threadId = 0;
    ThreadRoutine startRoutine;
    void* parameter;
    bool killOnDestroy = true;
};

} // namespace Vorlix
