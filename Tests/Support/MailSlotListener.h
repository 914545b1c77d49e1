// MailSlotListener.h - the mailslot listener tool as a child process with its output in a file,
// and the datagrams it printed.
//
// Win32-only test code.
#pragma once

#include "Foundation/Win32.h"
#include "TestSupport.h"

#include <sstream>
#include <string>
#include <vector>

namespace TestSupport {

// Starts the mailslot listener tool with its output in a file.
class Listener {
public:
    bool start(const std::string& commandArgs, const std::string& outputPath)
    {
        SECURITY_ATTRIBUTES inherit{};
        inherit.nLength = sizeof inherit;
        inherit.bInheritHandle = TRUE;
        output = Vorlix::FileHandle(CreateFileA(outputPath.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) {
            return false;
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
        startup.hStdInput = nullptr;
        std::string command = "\"" + programPath("MailSlotPeer.exe") + "\" " + commandArgs;
        command.push_back('\0');
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &info)) {
            return false;
        }
        process = Vorlix::KernelHandle(info.hProcess);
        Vorlix::KernelHandle thread(info.hThread);
        return true;
    }

    bool wait(DWORD ms) { return WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0; }
    ~Listener()
    {
        if (process && !wait(0)) {
            TerminateProcess(process.get(), 99);
            wait(5000);
        }
    }

    Vorlix::FileHandle output;
    Vorlix::KernelHandle process;
};

// The datagrams the tool printed: "message N, B bytes: hh hh ...".
std::vector<std::string> printedDatagrams(const std::string& output)
{
    std::vector<std::string> datagrams;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("message ", 0) != 0) {
            continue;
        }
        std::istringstream hex(line.substr(line.find(':') + 1));
        std::string bytes;
        unsigned value = 0;
        while (hex >> std::hex >> value) {
            bytes.push_back(static_cast<char>(value));
        }
        datagrams.push_back(bytes);
    }
    return datagrams;
}

} // namespace TestSupport
