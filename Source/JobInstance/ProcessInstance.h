// ProcessInstance.h - a job that is another process: started by us, or attached by its ids.
//
// Win32 layer; the platform types stay in win32/ProcessInstance.cpp, handles are held opaquely.
// Destroying the job closes its handles but leaves the process running.
#pragma once

#include "JobInstance/JobInstance.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vorlix {

class ProcessInstance : public JobInstance {
public:
    // The fixed size of the command-line buffer, terminating NUL included.
    static constexpr size_t COMMAND_LINE_SIZE = 780;

    // A new process, started by execute. A command line that does not fit the buffer is kept out
    // of it, and execute refuses it with JB_UNABLE_TO_START.
    ProcessInstance(const std::string& programPath, const std::string& arguments, bool hidden,
                    bool inheritHandles);
    // An existing process; throws JB_PROCESS when it cannot be opened.
    ProcessInstance(uint32_t processId, uint32_t threadId);
    ~ProcessInstance() override;

    void execute() override;
    int32_t suspend() override { return 0; }
    int32_t resume() override { return 0; }
    bool stop() override { return terminate(false, -1, 1000); }
    int32_t getStatus() override;
    int32_t getExitCode(int32_t& exitCode) override;

    // Asks the primary thread to close (unless `force`), waits up to waitMs for it, then ends the
    // process by force. False when the process was not running.
    bool terminate(bool force, int32_t exitCode, uint32_t waitMs);

    const char* getCommandLine() const { return commandLine; }
    uint32_t getProcessId() const { return processId; }
    uint32_t getThreadId() const { return threadId; }

    // The program path (quoted when it holds a blank), a blank, then the arguments.
    static std::string composeCommandLine(const std::string& programPath, const std::string& arguments);

private:
    char commandLine[COMMAND_LINE_SIZE] = {};
    size_t refusedLength = 0; // length of a command line too long for the buffer, else 0
    bool hideWindow = false;
    void* processHandle = nullptr;
    void* threadHandle = nullptr;
    uint32_t processId = 0;
    uint32_t threadId = 0;
    bool inheritHandles = false;
};

} // namespace Vorlix
