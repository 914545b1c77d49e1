// ControlText.cpp - the operator tool's command line, help, marker meanings, tables, record lines
// and log tails.
//
// Portable: must stay free of platform headers.
#include "SentinelControl/ControlText.h"

#include "Foundation/StringUtils.h"
#include "Logger/LogRecord.h"
#include "Logger/LogVocabulary.h"
#include "Logger/MessageCatalogue.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace SentinelControl {

namespace {

const std::map<std::string, Command>& commandNames()
{
    static const std::map<std::string, Command> names = {
        {"help", Command::Help},
        {"die", Command::Die},
        {"reconfig", Command::Reconfig},
        {"status-check", Command::StatusCheck},
        {"run", Command::Run},
        {"pause", Command::Pause},
        {"resume", Command::Resume},
        {"stop", Command::Stop},
        {"clear-stop", Command::ClearStop},
        {"markers", Command::Markers},
        {"status", Command::Status},
        {"listen", Command::Listen},
        {"tail", Command::Tail},
    };
    return names;
}

// An option and its value, given as "--name value" or "--name=value"; answers whether `word` is
// that option, and fills `value` (or the error) when it is.
bool takeValue(const std::vector<std::string>& words, size_t& i, const std::string& name, std::string& value,
               std::string& error)
{
    const std::string& word = words[i];
    if (word == name) {
        if (i + 1 >= words.size()) {
            error = "option " + name + " needs a value";
            return true;
        }
        value = words[++i];
        return true;
    }
    if (name.size() > 2 && word.compare(0, name.size() + 1, name + "=") == 0) {
        value = word.substr(name.size() + 1);
        return true;
    }
    return false;
}

bool takeNumber(const std::vector<std::string>& words, size_t& i, const std::string& name, uint32_t& number,
                std::string& error)
{
    std::string text;
    if (!takeValue(words, i, name, text, error)) {
        return false;
    }
    if (error.empty() && !parseCount(text, number)) {
        error = "option " + name + " needs a whole number, not \"" + text + "\"";
    }
    return true;
}

bool needsQuotes(const std::string& word)
{
    return word.empty() || word.find_first_of(" \t\"") != std::string::npos;
}

// A word in double quotes as the C runtime splits it again: a quote inside it is escaped, and
// the backslashes right before a quote (also the closing one) are doubled.
std::string quoted(const std::string& word)
{
    std::string text = "\"";
    size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            text.append(backslashes * 2 + 1, '\\');
        } else {
            text.append(backslashes, '\\');
        }
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + "\"";
}

} // namespace

bool parseCount(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

Arguments parseArguments(const std::vector<std::string>& words)
{
    Arguments args;
    std::vector<std::string> programWords;
    bool haveProgram = false;
    for (size_t i = 0; i < words.size() && args.error.empty(); ++i) {
        const std::string& word = words[i];
        if (haveProgram) {
            programWords.push_back(word);
            continue;
        }
        if (word == "-h" || word == "--help" || word == "/?") {
            args.command = Command::Help;
            return args;
        }
        if (word == "--follow") {
            args.follow = true;
            continue;
        }
        std::string& error = args.error;
        if (takeValue(words, i, "--tag", args.tag, error) ||
            takeValue(words, i, "--marker-key", args.markerKey, error) ||
            takeValue(words, i, "-c", args.configFile, error) ||
            takeValue(words, i, "--config", args.configFile, error) ||
            takeValue(words, i, "-f", args.logFile, error) ||
            takeValue(words, i, "--file", args.logFile, error) ||
            takeNumber(words, i, "--wait", args.waitMs, error) ||
            takeNumber(words, i, "--count", args.count, error) ||
            takeNumber(words, i, "--seconds", args.seconds, error) ||
            takeNumber(words, i, "-n", args.lines, error) ||
            takeNumber(words, i, "--lines", args.lines, error)) {
            continue;
        }
        if (args.command == Command::Run && args.program.empty() && word != "--") {
            args.program = word;
            haveProgram = true;
            continue;
        }
        if (!word.empty() && word[0] == '-' && word != "--") {
            args.error = "unknown option \"" + word + "\"";
            break;
        }
        if (word == "--") {
            continue;
        }
        if (args.command != Command::None) {
            args.error = "unexpected word \"" + word + "\"";
            break;
        }
        const auto found = commandNames().find(word);
        if (found == commandNames().end()) {
            args.error = "unknown command \"" + word + "\"";
            break;
        }
        args.command = found->second;
    }
    if (!args.error.empty()) {
        return args;
    }
    if (args.command == Command::None) {
        args.error = "no command given";
    } else if (args.command == Command::Run) {
        if (args.program.empty()) {
            args.error = "run needs a program";
        } else {
            args.programArguments = joinProgramArguments(programWords);
            if (runRequest(args.program, args.programArguments).empty()) {
                args.error = "a program request cannot contain \"|\"";
            }
        }
    }
    if (args.error.empty() && args.tag.find_first_of(" \\/") != std::string::npos) {
        args.error = "a tag has no blanks or path separators (blanks in user names become \"_\")";
    }
    return args;
}

std::string helpText()
{
    return "usage: SentinelControl [options] <command> [arguments]\n"
           "\n"
           "Controls the watchdog of the current user (or of --tag TAG) on this machine.\n"
           "\n"
           "Commands sent to the watchdog's mailslot \"Sentinel_\"+tag:\n"
           "  die                   stop the watchdog (it sends DIE to its applications)\n"
           "  reconfig              re-read the configuration file\n"
           "  status-check          liveness check (the watchdog only logs it)\n"
           "  run PROGRAM [ARGS]    start PROGRAM with ARGS as the watchdog's user (not monitored)\n"
           "Registry markers (HKEY_LOCAL_MACHINE, see --marker-key):\n"
           "  pause                 \"SentinelMarker:\"+tag = 0: application checks suspended\n"
           "  resume                \"SentinelMarker:\"+tag = 1: application checks resumed\n"
           "  stop                  \"SentinelMarker\" = 2: every watchdog of the machine stops\n"
           "  clear-stop            \"SentinelMarker\" = 1: watchdogs may run again\n"
           "  markers               show both markers\n"
           "Inspection:\n"
           "  status                the watchdog's guard, the markers, and for each configured\n"
           "                        application whether it answers and with which process id\n"
           "  listen                own the mailslot \"Vorlix_Core\" and print forwarded log records\n"
           "                        until Ctrl-C, --count N records or --seconds S\n"
           "  tail                  the last -n N lines (10) of the watchdog's debug log;\n"
           "                        --follow prints new lines until Ctrl-C or --seconds S\n"
           "  help                  this text\n"
           "\n"
           "Options:\n"
           "  --tag TAG             the instance tag (default: the user name, blanks as \"_\")\n"
           "  --marker-key KEY      marker key under HKEY_LOCAL_MACHINE (default: from the version\n"
           "                        file in \"ConfigurationDir\": SOFTWARE\\Vorlix\\Resources, with\n"
           "                        \\Recorder from version 5.4 on)\n"
           "  -c, --config FILE     configuration file (default: \"ConfigurationDir\"\\sentinel.conf)\n"
           "  --wait MS             status: how long each application may take to answer (2000)\n"
           "  --count N             listen: end after N records\n"
           "  --seconds S           listen, tail --follow: end after S seconds\n"
           "  -n, --lines N         tail: how many lines (10)\n"
           "  -f, --file FILE       tail: this file instead of the watchdog's debug log\n"
           "  --follow              tail: keep printing new lines\n"
           "\n"
           "Exit codes:\n"
           "  0  done\n"
           "  1  the action failed (registry value not written, file not readable, mailslot taken)\n"
           "  2  wrong command line\n"
           "  3  no watchdog of that tag runs\n"
           "  4  status: the watchdog runs, but an active application did not answer\n"
           "  5  listen: the time limit passed before --count records arrived\n";
}

std::string joinProgramArguments(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) {
            text += ' ';
        }
        text += needsQuotes(word) ? quoted(word) : word;
    }
    return text;
}

std::string runRequest(const std::string& program, const std::string& arguments)
{
    if (program.empty() || program.find('|') != std::string::npos ||
        arguments.find('|') != std::string::npos) {
        return std::string();
    }
    // The watchdog wants exactly two parts, and a "|" at the very end makes none: a program
    // without arguments gets a single blank as its argument text.
    return program + "|" + (arguments.empty() ? std::string(" ") : arguments);
}

std::string markerKeyForVersion(int32_t productVersion)
{
    return productVersion >= 54 ? "SOFTWARE\\Vorlix\\Resources\\Recorder" : "SOFTWARE\\Vorlix\\Resources";
}

std::string markerValueText(int result, int32_t value)
{
    if (result == 0) {
        return std::to_string(value);
    }
    return result == 3 ? "not a number" : "missing";
}

std::string describeMachineMarker(int result, int32_t value)
{
    if (result == 2) {
        return "watchdogs stop";
    }
    if (result == 0 && value == 2) {
        return "watchdogs stop (stop requested)";
    }
    return result == 0 ? "watchdogs run" : "unreadable; watchdogs run";
}

std::string describeInstanceMarker(int result, int32_t value)
{
    if (result == 2) {
        return "no watchdog started since; a running one re-creates it and stops";
    }
    if (result != 0) {
        return "unreadable; application checks suspended";
    }
    switch (value) {
    case 1:
        return "application checks run";
    case 3:
        return "watchdog stopped";
    default:
        return "application checks suspended";
    }
}

bool parseProcessInfo(const std::string& text, uint32_t& processId, uint32_t& threadId)
{
    const size_t comma = text.find(',');
    if (comma == std::string::npos) {
        return false;
    }
    const int32_t process = Vorlix::leadingInteger(text.substr(0, comma));
    const int32_t thread = Vorlix::leadingInteger(text.substr(comma + 1));
    if (process <= 0 || thread <= 0) {
        return false;
    }
    processId = static_cast<uint32_t>(process);
    threadId = static_cast<uint32_t>(thread);
    return true;
}

std::string formatTable(const std::vector<std::vector<std::string>>& rows)
{
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) {
            widths.resize(row.size(), 0);
        }
        for (size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    std::string out;
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            std::string cell = rows[r][c];
            if (c + 1 < rows[r].size()) {
                Vorlix::padRight(cell, widths[c] + 2, ' ');
            }
            line += cell;
        }
        out += line + "\n";
        if (r == 0) {
            std::string rule;
            for (size_t c = 0; c < widths.size(); ++c) {
                rule += std::string(widths[c], '-');
                if (c + 1 < widths.size()) {
                    rule += "  ";
                }
            }
            out += rule + "\n";
        }
    }
    return out;
}

std::string visible(const std::string& text)
{
    std::string out;
    char code[8];
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) {
            std::snprintf(code, sizeof code, "<%02X>", byte);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::string formatForwardedRecord(const std::string& recordText, const Vorlix::MessageCatalogue* catalogue)
{
    Vorlix::LogRecord record;
    try {
        if (!Vorlix::parseRecord(recordText, record)) {
            return "unreadable record: " + visible(recordText);
        }
        bool found = false;
        std::string message;
        if (record.kind == Vorlix::RECORD_CATALOGUED && catalogue != nullptr &&
            catalogue->lookup(record.module, record.messageNumber, message)) {
            Vorlix::substituteParameters(message, record.text);
            record.text = message;
            found = true;
        }
        std::string line = Vorlix::formatLogLine(record, found);
        // A record carries no line end of its own; one inside its text would break the line.
        for (char& c : line) {
            if (c == '\r' || c == '\n') {
                c = ' ';
            }
        }
        return Vorlix::applicationName(record.application) + ": " + line;
    } catch (...) {
        // A negative time count (TimeException): the text came from no program of the suite.
    }
    return "unreadable record: " + visible(recordText);
}

std::vector<std::string> lastLines(const std::string& text, size_t count)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = next;
    }
    if (lines.size() > count) {
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    }
    return lines;
}

} // namespace SentinelControl
