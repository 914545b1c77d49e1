// JobInstance.h - the common face of process and thread jobs, and their status numbers.
//
// Portable: no platform headers. A job is work that runs outside the caller's flow of control;
// callers ask it for its status and stop it without knowing whether it is a process or a thread.
#pragma once

#include <cstdint>
#include <string>

namespace Vorlix {

enum JobStatus : int32_t {
    JOB_FINISHED = 11,
    JOB_TERMINATED = 12,
    JOB_CLOSED = 13,
    JOB_NOT_STARTED = 14,
    JOB_RUNNING = 17,
    JOB_UNKNOWN = 24,
    JOB_EXITED = 25, // from getExitCode only: the exit code was delivered
};

// getExitCode answers this plus the system error number when the state cannot be read.
constexpr int32_t JOB_SYSTEM_ERROR_BASE = 1000;

class JobInstance {
public:
    JobInstance() = default;
    JobInstance(const JobInstance&) = delete;
    JobInstance& operator=(const JobInstance&) = delete;

    virtual void execute() = 0;
    virtual int32_t suspend() = 0;
    virtual int32_t resume() = 0;
    virtual bool stop() = 0;
    virtual int32_t getStatus() = 0;
    virtual int32_t getExitCode(int32_t& exitCode) = 0;
    virtual ~JobInstance() = default;

protected:
    int32_t lastStatus = JOB_NOT_STARTED;
};

// "Win32 error code is : <n>", the detail text of most job failures.
std::string win32ErrorText(uint32_t error);

} // namespace Vorlix
