// SentinelControl.cpp - the operator's tool for the watchdog: commands, markers, status, the
// forwarded log records and the debug log. `SentinelControl --help` lists the commands and the
// exit codes.
//
// Win32 console tool. The entry turns every failure into a message and an exit code.
#include "SentinelControl/ControlActions.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try {
        std::vector<std::string> words(argv + 1, argv + argc);
        const SentinelControl::Arguments args = SentinelControl::parseArguments(words);
        SentinelControl::installCtrlHandler();
        return SentinelControl::runCommand(args, stdout, stderr);
    } catch (const std::exception& caught) {
        std::fprintf(stderr, "SentinelControl: %s\n", caught.what());
    } catch (...) {
        std::fprintf(stderr, "SentinelControl: unexpected failure\n");
    }
    return SentinelControl::EXIT_FAILED;
}
