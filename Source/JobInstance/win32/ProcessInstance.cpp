// ProcessInstance.cpp - starting, attaching to, watching and stopping another process.
//
// Win32-only.
#include "JobInstance/ProcessInstance.h"

#include "Foundation/Exception.h"
#include "Foundation/OpenSecurity.h"
#include "Foundation/Win32.h"
#include "JobInstance/win32/JobWin32.h"

#include <cstring>

namespace Vorlix {

namespace {

std::string errorCodeText(DWORD error)
{
    return "Error code " + std::to_string(error);
}

HANDLE asHandle(void* handle)
{
    return static_cast<HANDLE>(handle);
}

} // namespace

ProcessInstance::ProcessInstance(const std::string& programPath, const std::string& arguments, bool hidden,
                                 bool inheritHandlesToUse)
    : hideWindow(hidden), inheritHandles(inheritHandlesToUse)
{
    const std::string line = composeCommandLine(programPath, arguments);
    if (line.size() < COMMAND_LINE_SIZE) {
        std::memcpy(commandLine, line.c_str(), line.size() + 1);
    } else {
        // Refused in execute, where the callers' handlers for start failures are.
        refusedLength = line.size();
    }
}

ProcessInstance::ProcessInstance(uint32_t processIdToUse, uint32_t threadIdToUse)
    : processId(processIdToUse), threadId(threadIdToUse)
{
    HANDLE opened = OpenProcess(PROCESS_ALL_ACCESS, TRUE, processId);
    if (opened == nullptr) {
        const DWORD error = GetLastError();
        VORLIX_THROW(JobException, JB_PROCESS, "Unable to access process. " + errorCodeText(error));
    }
    processHandle = opened;
    try {
        lastStatus = systemStatus(opened, true);
    } catch (const JobException&) {
        lastStatus = JOB_UNKNOWN;
    }
}

ProcessInstance::~ProcessInstance()
{
    if (threadHandle != nullptr) {
        CloseHandle(asHandle(threadHandle));
    }
    if (processHandle != nullptr) {
        CloseHandle(asHandle(processHandle));
    }
}

void ProcessInstance::execute()
{
    if (refusedLength != 0) {
        VORLIX_THROW(JobException, JB_UNABLE_TO_START,
                     "Command line of " + std::to_string(refusedLength) + " characters is longer than " +
                         std::to_string(COMMAND_LINE_SIZE - 1));
    }
    OpenSecurity security;
    DWORD error = 0;
    switch (security.build(error)) {
    case OpenSecurity::OPEN_OK:
        break;
    case OpenSecurity::OPEN_NO_MEMORY:
        VORLIX_THROW(JobException, JB_MEM, errorCodeText(error));
    default:
        VORLIX_THROW(JobException, JB_UNABLE_TO_START, errorCodeText(error));
    }

    STARTUPINFOA startupInfo{};
    startupInfo.cb = sizeof startupInfo;
    if (hideWindow) {
        startupInfo.dwFlags = STARTF_USESHOWWINDOW;
        startupInfo.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION info{};
    // CreateProcessA may write into the command line, so it gets the object's own buffer.
    if (!CreateProcessA(nullptr, commandLine, security.attributes(), security.attributes(),
                        inheritHandles ? TRUE : FALSE, 0, nullptr, nullptr, &startupInfo, &info)) {
        error = GetLastError();
        VORLIX_THROW(JobException, JB_UNABLE_TO_START,
                     "\"" + std::string(commandLine) + "\", " + win32ErrorText(error));
    }
    // A job executed twice keeps only the newest process's handles.
    if (threadHandle != nullptr) {
        CloseHandle(asHandle(threadHandle));
    }
    if (processHandle != nullptr) {
        CloseHandle(asHandle(processHandle));
    }
    processHandle = info.hProcess;
    threadHandle = info.hThread;
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
    lastStatus = JOB_RUNNING;
}

int32_t ProcessInstance::getStatus()
{
    if (lastStatus == JOB_TERMINATED || lastStatus == JOB_CLOSED) {
        return lastStatus;
    }
    return systemStatus(asHandle(processHandle), true);
}

int32_t ProcessInstance::getExitCode(int32_t& exitCode)
{
    return systemExitCode(asHandle(processHandle), true, exitCode);
}

bool ProcessInstance::terminate(bool force, int32_t exitCode, uint32_t waitMs)
{
    if (getStatus() != JOB_RUNNING) {
        return false;
    }
    if (!force && askToEnd(*this, threadId, WM_CLOSE, exitCode, waitMs, 100)) {
        lastStatus = JOB_CLOSED;
        return true;
    }
    endByForce(asHandle(processHandle), true, exitCode);
    lastStatus = JOB_TERMINATED;
    return true;
}

} // namespace Vorlix
