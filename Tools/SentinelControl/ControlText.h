// ControlText.h - the operator tool's text logic: its command line, its help and exit codes, the
// marker meanings, the table layout, forwarded log records as readable lines, and the last lines
// of a log text.
//
// Portable: no platform headers, so every rule here is tested without running the tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Vorlix {
class MessageCatalogue;
}

namespace SentinelControl {

// The exit codes a script tests; the help text lists them.
enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_FAILED = 1,        // the action could not be carried out (registry, file, mailslot)
    EXIT_USAGE = 2,         // the command line is wrong
    EXIT_NOT_RUNNING = 3,   // no watchdog of that tag runs (no guard, or nobody owns its mailslot)
    EXIT_NOT_ANSWERING = 4, // status: the watchdog runs, but an active application did not answer
    EXIT_TIMED_OUT = 5,     // listen: the time limit passed before the count was reached
};

enum class Command {
    None,
    Help,
    Die,
    Reconfig,
    StatusCheck,
    Run,
    Pause,
    Resume,
    Stop,
    ClearStop,
    Markers,
    Status,
    Listen,
    Tail,
};

struct Arguments {
    Command command = Command::None;
    std::string tag;        // empty: the current user's tag
    std::string markerKey;  // empty: chosen from the version file
    std::string configFile; // empty: "ConfigurationDir" + "sentinel.conf"
    std::string logFile;    // empty: the watchdog's debug log
    std::string program;    // run
    std::string programArguments;
    uint32_t waitMs = 2000; // status: how long each application has to answer
    uint32_t count = 0;     // listen: records to print (0: no limit)
    uint32_t seconds = 0;   // listen, tail --follow: time limit (0: until Ctrl-C)
    uint32_t lines = 10;    // tail
    bool follow = false;    // tail
    std::string error;      // not empty: the command line is wrong, and this says why
};

// Options may stand before or after the command; everything after `run PROGRAM` belongs to the
// program.
Arguments parseArguments(const std::vector<std::string>& words);
std::string helpText();

// The argument text of a program request: words with blanks or quotes (or empty ones) in double
// quotes, escaped so that the program's C runtime splits the text into the same words.
std::string joinProgramArguments(const std::vector<std::string>& words);
// The text of a RUN_PROG request, or empty when the watchdog would refuse it (a "|" in either
// part, which would not split into exactly two parts, or no program). Empty arguments travel as
// one blank, since a request that ends in "|" is one part to the watchdog.
std::string runRequest(const std::string& program, const std::string& arguments);

// Where the markers live for a product version times ten (the "\Recorder" subkey from 5.4 on).
std::string markerKeyForVersion(int32_t productVersion);

// What a marker reading means to the watchdog; `result` is the registry reader's code (0 read,
// 2 missing, 3 not a number).
std::string describeMachineMarker(int result, int32_t value);
std::string describeInstanceMarker(int result, int32_t value);
std::string markerValueText(int result, int32_t value);

// "process id,primary thread id" as an application answers; false when either is missing or 0
// (the watchdog would not attach).
bool parseProcessInfo(const std::string& text, uint32_t& processId, uint32_t& threadId);

// Rows of cells laid out in columns two blanks apart; the first row is the heading, underlined.
std::string formatTable(const std::vector<std::vector<std::string>>& rows);

// A forwarded record (the text of a LOGMSG message) as one readable line: the application's name,
// then the log line the watchdog writes for it, its catalogue text resolved when `catalogue` has
// it. A text that is no record gives "unreadable record: " and the text with control bytes shown.
std::string formatForwardedRecord(const std::string& recordText, const Vorlix::MessageCatalogue* catalogue);

// Control bytes (the field separators among them) as <hh>, so any text prints on one line.
std::string visible(const std::string& text);

// The last `count` lines of `text`, without their line ends; a last line without a line end
// counts.
std::vector<std::string> lastLines(const std::string& text, size_t count);

// Strict unsigned decimal: digits only, no sign, no blanks, within 32 bits.
bool parseCount(const std::string& text, uint32_t& value);

} // namespace SentinelControl
