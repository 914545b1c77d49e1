// ControlActions.cpp - the operator tool's actions against a running watchdog and its files.
//
// Win32 tool code. Every name is built the way the watchdog builds it (its own tag, log name and
// product version rules are called, not copied), and every exchange uses the suite's own
// mailslot messages.
#include "SentinelControl/ControlActions.h"

#include "Config/ConfReader.h"
#include "File/BFile.h"
#include "File/FileOps.h"
#include "Foundation/Exception.h"
#include "Foundation/Monopoly.h"
#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"
#include "Logger/MessageCatalogue.h"
#include "VorlixSentinel/Sentinel.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <list>
#include <memory>
#include <thread>
#include <vector>

namespace SentinelControl {

std::atomic<bool> stopRequested{false};

namespace {

using Clock = std::chrono::steady_clock;
using Vorlix::SystemInfo;

const char* const kMachineMarker = "SentinelMarker";
const char* const kMonitorKey = "sentinel.monitor";
const char* const kCoreMailslot = "Vorlix_Core";
const char* const kSender = "SentinelControl";
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr auto kFollowPoll = std::chrono::milliseconds(200);
// A debug log larger than this is read from here on for its last lines.
constexpr uint64_t kTailWindow = 4u * 1024u * 1024u;
// How much of the followed file's beginning tells it from its successor.
constexpr uint64_t kHeadBytes = 256;

BOOL WINAPI onConsoleControl(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        stopRequested = true;
        return TRUE;
    }
    return FALSE;
}

void print(std::FILE* stream, const std::string& text)
{
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

std::string instanceMarker(const Environment& env)
{
    return "SentinelMarker:" + env.tag;
}

// The watchdog reads its version file with the same conversion; a missing file leaves 0.
int32_t readProductVersion(const std::string& path)
{
    if (!Vorlix::FileOps::exists(path)) {
        return 0;
    }
    Vorlix::BFile file;
    std::string text;
    if (!file.open(path, 1) || !file.read(text, Vorlix::FileUtils::fileSize(path))) {
        return 0;
    }
    file.close();
    return Sentinel::parseProductVersion(text);
}

// The configuration as the watchdog reads it; null when the file cannot be read (the reader
// then holds no tree).
std::unique_ptr<Vorlix::ConfReader> readConfiguration(const Environment& env)
{
    if (env.configFile.empty() || !Vorlix::FileOps::exists(env.configFile)) {
        return nullptr;
    }
    auto conf = std::make_unique<Vorlix::ConfReader>(Vorlix::CountedHandle<Vorlix::LogDispatcher>());
    conf->buildTree(env.configFile);
    if (conf->root() == nullptr) {
        return nullptr;
    }
    return conf;
}

// A mailslot nobody owns refuses the open: the send answers false.
int sendToWatchdog(const Environment& env, const std::string& type, const std::string& text, std::FILE* out,
                   std::FILE* err)
{
    try {
        Vorlix::IPCClient client(env.serverName);
        if (!client.send(type, "", text, kSender)) {
            print(err, "no watchdog listens on the mailslot \"" + env.serverName + "\"\n");
            return EXIT_NOT_RUNNING;
        }
    } catch (const Vorlix::Exception& caught) {
        print(err, "cannot send: " + caught.fullText() + "\n");
        return EXIT_FAILED;
    }
    print(out, "sent " + type + " \"" + visible(text) + "\" to \"" + env.serverName + "\"\n");
    return EXIT_OK;
}

int setMarker(const Environment& env, const std::string& name, int32_t value, std::FILE* out, std::FILE* err)
{
    if (SystemInfo::setRegNumber(env.markerKey, name, value) != 0) {
        print(err, "cannot write HKEY_LOCAL_MACHINE\\" + env.markerKey + " \"" + name +
                       "\" (writing the machine's key needs an administrator)\n");
        return EXIT_FAILED;
    }
    print(out,
          "HKEY_LOCAL_MACHINE\\" + env.markerKey + " \"" + name + "\" = " + std::to_string(value) + "\n");
    return EXIT_OK;
}

std::string markerTable(const Environment& env)
{
    int32_t machineValue = 0;
    const int machineResult = SystemInfo::getRegNumber(env.markerKey, kMachineMarker, machineValue);
    int32_t instanceValue = 0;
    const int instanceResult = SystemInfo::getRegNumber(env.markerKey, instanceMarker(env), instanceValue);
    return "Markers under HKEY_LOCAL_MACHINE\\" + env.markerKey + ":\n" +
           formatTable({{"MARKER", "VALUE", "MEANING"},
                        {kMachineMarker, markerValueText(machineResult, machineValue),
                         describeMachineMarker(machineResult, machineValue)},
                        {instanceMarker(env), markerValueText(instanceResult, instanceValue),
                         describeInstanceMarker(instanceResult, instanceValue)}});
}

// The watchdog holds its guard, a named mutex, for its whole run. Opening the mutex (rather than
// acquiring the guard) tells without ever holding it, so a watchdog starting at that moment is
// never refused because of us.
bool watchdogRuns(const Environment& env)
{
    Vorlix::KernelHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, env.guardName.c_str()));
    if (mutex) {
        return true;
    }
    // Another account's guard may refuse us access; it exists all the same.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

enum class Answer { Yes, No, NoServer, Unusable };

struct QueryResult {
    Answer answer = Answer::No;
    std::string text;
    uint32_t processId = 0;
    uint32_t threadId = 0;
};

// Asks one application for its process the way the watchdog does, with the answer going to a
// mailslot of the tool's own that serves this one query. Whatever arrives there answers it, as
// the watchdog takes a reply whatever sender it names: a late answer to an earlier query went to
// that query's mailslot, which is gone.
QueryResult queryApplication(Vorlix::MailSlot& replies, const std::string& server, uint32_t waitMs)
{
    QueryResult result;
    try {
        Vorlix::IPCClient client(server);
        if (!client.send("COMMAND", "SEND_PROCESS_INFO", "SEND_PROCESS_INFO", replies.getName())) {
            result.answer = Answer::NoServer;
            return result;
        }
    } catch (const Vorlix::Exception&) {
        result.answer = Answer::NoServer;
        return result;
    }
    const auto end = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        std::list<std::string> received;
        replies.receive(received);
        for (const std::string& message : received) {
            const Vorlix::IPCFields fields = Vorlix::cutMessage(message);
            if (!Vorlix::isAddressedToUs(fields) || fields.type != "REPLY" ||
                fields.id != "SEND_PROCESS_INFO") {
                continue;
            }
            result.text = fields.text;
            result.answer = parseProcessInfo(fields.text, result.processId, result.threadId)
                                ? Answer::Yes
                                : Answer::Unusable;
            return result;
        }
        if (Clock::now() >= end) {
            return result;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

std::string answerText(const QueryResult& result)
{
    switch (result.answer) {
    case Answer::Yes:
        return "yes";
    case Answer::NoServer:
        return "no server";
    case Answer::Unusable:
        return "bad reply \"" + visible(result.text) + "\"";
    default:
        return "no answer";
    }
}

int showStatus(const Arguments& args, const Environment& env, std::FILE* out, std::FILE* err)
{
    const bool running = watchdogRuns(env);
    print(out, "Watchdog \"" + env.serverName + "\": " +
                   (running ? "running (guard \"" + env.guardName + "\" held)"
                            : "not running (no guard \"" + env.guardName + "\")") +
                   "\n");
    print(out, markerTable(env));

    const std::unique_ptr<Vorlix::ConfReader> conf = readConfiguration(env);
    std::list<std::string> names;
    if (!conf || conf->getSubObjects(kMonitorKey, names) != Vorlix::CONF_OK) {
        print(err, "cannot read the applications (\"" + std::string(kMonitorKey) + "\") of \"" +
                       env.configFile + "\"\n");
        return running ? EXIT_FAILED : EXIT_NOT_RUNNING;
    }
    const std::string replyPrefix = "SentinelControl_" + std::to_string(GetCurrentProcessId()) + "_";
    uint32_t queries = 0;

    std::vector<std::vector<std::string>> rows = {
        {"APPLICATION", "ID", "ACTIVE", "IPC SERVER", "ANSWER", "PROCESS", "THREAD"}};
    bool activeSilent = false;
    for (const std::string& name : names) {
        const std::string prefix = std::string(kMonitorKey) + "." + name;
        bool active = false;
        const bool haveActive = conf->getBool(prefix + ".active", active) == Vorlix::CONF_OK;
        std::string id;
        const bool haveId = conf->getString(prefix + ".id", id, true, false) == Vorlix::CONF_OK;
        if (!haveId) {
            rows.push_back({name, "(no id)", haveActive ? (active ? "yes" : "no") : "?", "", "", "", ""});
            activeSilent = activeSilent || active;
            continue;
        }
        const std::string server = id + "_" + env.tag;
        std::unique_ptr<Vorlix::MailSlot> replies;
        try {
            replies = std::make_unique<Vorlix::MailSlot>(Vorlix::IPC_RECEIVER,
                                                         replyPrefix + std::to_string(++queries));
        } catch (const Vorlix::Exception& caught) {
            print(err, "cannot create the reply mailslot: " + caught.fullText() + "\n");
            return EXIT_FAILED;
        }
        const QueryResult result = queryApplication(*replies, server, args.waitMs);
        const bool answered = result.answer == Answer::Yes;
        rows.push_back({name, id, haveActive ? (active ? "yes" : "no") : "?", server, answerText(result),
                        answered ? std::to_string(result.processId) : "-",
                        answered ? std::to_string(result.threadId) : "-"});
        activeSilent = activeSilent || (active && !answered);
    }
    print(out, "Applications of " + env.configFile + ":\n" + formatTable(rows));
    if (!running) {
        return EXIT_NOT_RUNNING;
    }
    return activeSilent ? EXIT_NOT_ANSWERING : EXIT_OK;
}

bool timeIsUp(bool bounded, Clock::time_point end)
{
    return stopRequested || (bounded && Clock::now() >= end);
}

int listen(const Arguments& args, const Environment& env, std::FILE* out, std::FILE* err)
{
    std::unique_ptr<Vorlix::MailSlot> slot;
    try {
        slot = std::make_unique<Vorlix::MailSlot>(Vorlix::IPC_RECEIVER, kCoreMailslot);
    } catch (const Vorlix::Exception& caught) {
        print(err, "cannot own the mailslot \"" + std::string(kCoreMailslot) +
                       "\" (does the core service run?): " + caught.fullText() + "\n");
        return EXIT_FAILED;
    }
    // The message texts, when the configuration names the catalogue directory.
    Vorlix::MessageCatalogue catalogue;
    bool haveCatalogue = false;
    if (const std::unique_ptr<Vorlix::ConfReader> conf = readConfiguration(env)) {
        std::string directory;
        if (conf->getDirName("Vorlix.directories.conf", directory) == Vorlix::CONF_OK) {
            haveCatalogue = catalogue.load(directory, "all").ok && catalogue.size() > 0;
        }
    }
    print(out, "listening on " + slot->path() + (haveCatalogue ? "" : " (no message catalogue)") + "\n");

    const bool bounded = args.seconds > 0;
    const auto end = Clock::now() + std::chrono::seconds(args.seconds);
    uint32_t printed = 0;
    for (;;) {
        std::list<std::string> received;
        try {
            slot->receive(received);
        } catch (const Vorlix::Exception& caught) {
            print(err, "receiving failed: " + caught.fullText() + "\n");
            return EXIT_FAILED;
        }
        for (const std::string& message : received) {
            const Vorlix::IPCFields fields = Vorlix::cutMessage(message);
            if (!Vorlix::isAddressedToUs(fields) || fields.type != "LOGMSG") {
                print(err, "ignored message: " + visible(message) + "\n");
                continue;
            }
            print(out, formatForwardedRecord(fields.text, haveCatalogue ? &catalogue : nullptr) + "\n");
            if (args.count != 0 && ++printed >= args.count) {
                return EXIT_OK;
            }
        }
        if (timeIsUp(bounded, end)) {
            return args.count != 0 && !stopRequested ? EXIT_TIMED_OUT : EXIT_OK;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

// The file the watchdog writes its debug lines to: the configuration's log directory when it
// names one (the log moves there at the first configuration), else "StartupLogDir".
std::vector<std::string> debugLogCandidates(const Environment& env)
{
    std::string logName;
    if (SystemInfo::getProductString("SentinelDebugLog", logName) != 0) {
        logName = "SentinelDebug.log";
    }
    const std::string name = Sentinel::taggedLogName(logName, env.tag);
    std::vector<std::string> candidates;
    if (const std::unique_ptr<Vorlix::ConfReader> conf = readConfiguration(env)) {
        std::string directory;
        if (conf->getDirName("Vorlix.directories.log", directory) == Vorlix::CONF_OK) {
            candidates.push_back(directory + Vorlix::FileUtils::fileNamePart(name));
        }
    }
    std::string startupDir;
    if (SystemInfo::getProductString("StartupLogDir", startupDir) == 0) {
        Vorlix::FileUtils::normalizeSeparators(startupDir);
        Vorlix::FileUtils::addTrailingSeparator(startupDir);
        candidates.push_back(startupDir + name);
    }
    return candidates;
}

// Bytes [from, to) of the file; false when it cannot be read.
bool readRange(const std::string& path, uint64_t from, uint64_t to, std::string& bytes)
{
    Vorlix::BFile file;
    if (!file.open(path, 1)) {
        return false;
    }
    if (from > 0 &&
        !file.seek(static_cast<int64_t>(from), Vorlix::BFile::ORIGIN_START, Vorlix::BFile::DIR_READ)) {
        return false;
    }
    bytes.clear();
    return to <= from || file.read(bytes, to - from);
}

int tail(const Arguments& args, const Environment& env, std::FILE* out, std::FILE* err)
{
    std::string path = args.logFile;
    if (path.empty()) {
        const std::vector<std::string> candidates = debugLogCandidates(env);
        for (const std::string& candidate : candidates) {
            if (Vorlix::FileOps::exists(candidate)) {
                path = candidate;
                break;
            }
        }
        if (path.empty()) {
            std::string tried;
            for (const std::string& candidate : candidates) {
                tried += "\n  " + candidate;
            }
            print(err,
                  "no debug log of \"" + env.tag + "\" found" +
                      (tried.empty() ? std::string(" (no \"StartupLogDir\" set)") : ", looked at:" + tried) +
                      "\n");
            return EXIT_FAILED;
        }
    }
    if (!Vorlix::FileOps::exists(path)) {
        print(err, "no file \"" + path + "\"\n");
        return EXIT_FAILED;
    }
    uint64_t size = Vorlix::FileUtils::fileSize(path);
    std::string bytes;
    const uint64_t from = size > kTailWindow ? size - kTailWindow : 0;
    if (!readRange(path, from, size, bytes)) {
        print(err, "cannot read \"" + path + "\"\n");
        return EXIT_FAILED;
    }
    // A window that starts inside a line would show half of it.
    if (from > 0) {
        const size_t lineEnd = bytes.find('\n');
        bytes.erase(0, lineEnd == std::string::npos ? bytes.size() : lineEnd + 1);
    }
    for (const std::string& line : lastLines(bytes, args.lines)) {
        print(out, line + "\n");
    }
    if (!args.follow) {
        return EXIT_OK;
    }

    const bool bounded = args.seconds > 0;
    const auto end = Clock::now() + std::chrono::seconds(args.seconds);
    std::string partial;
    // The first bytes of the file followed: a rotated-away log is told by a shorter file, or by a
    // new file that outgrew the old one between two polls and begins otherwise.
    std::string head;
    readRange(path, 0, std::min<uint64_t>(size, kHeadBytes), head);
    while (!timeIsUp(bounded, end)) {
        std::this_thread::sleep_for(kFollowPoll);
        const uint64_t now = Vorlix::FileUtils::fileSize(path);
        if (now == size) {
            continue;
        }
        std::string start;
        if (now > size && !readRange(path, 0, head.size(), start)) {
            continue; // the writer holds it or renames it right now; the next poll tries again
        }
        if (now < size || start != head) {
            // The agent rotated the file: the new one starts from nothing.
            print(out, "--- " + path + " started again ---\n");
            size = 0;
            partial.clear();
            head.clear();
        }
        if (!readRange(path, size, now, bytes)) {
            continue;
        }
        if (head.size() < kHeadBytes) {
            head = (head + bytes).substr(0, kHeadBytes);
        }
        size = now;
        partial += bytes;
        const size_t lastEnd = partial.rfind('\n');
        if (lastEnd == std::string::npos) {
            continue;
        }
        for (const std::string& line : lastLines(partial.substr(0, lastEnd + 1), static_cast<size_t>(-1))) {
            print(out, line + "\n");
        }
        partial.erase(0, lastEnd + 1);
    }
    return EXIT_OK;
}

} // namespace

void installCtrlHandler()
{
    SetConsoleCtrlHandler(&onConsoleControl, TRUE);
}

std::string currentUserTag()
{
    char user[257] = {};
    DWORD size = sizeof user;
    const bool haveUser = GetUserNameA(user, &size) != FALSE;
    return Sentinel::makeInstanceTag(haveUser ? user : nullptr, std::time(nullptr));
}

Environment resolveEnvironment(const Arguments& args)
{
    Environment env;
    env.tag = args.tag.empty() ? currentUserTag() : args.tag;
    env.serverName = "Sentinel_" + env.tag;
    env.guardName = Vorlix::Monopoly("Sentinel" + env.tag).getName();
    if (SystemInfo::getProductString("ConfigurationDir", env.configDir) == 0) {
        Vorlix::FileUtils::normalizeSeparators(env.configDir);
        Vorlix::FileUtils::addTrailingSeparator(env.configDir);
    } else {
        env.configDir.clear();
    }
    env.configFile = !args.configFile.empty() ? args.configFile
                     : !env.configDir.empty() ? env.configDir + "sentinel.conf"
                                              : std::string();
    env.productVersion = env.configDir.empty() ? 0 : readProductVersion(env.configDir + "version");
    env.markerKey = args.markerKey.empty() ? markerKeyForVersion(env.productVersion) : args.markerKey;
    return env;
}

int runCommand(const Arguments& args, std::FILE* out, std::FILE* err)
{
    if (args.command == Command::Help) {
        print(out, helpText());
        return EXIT_OK;
    }
    if (!args.error.empty()) {
        print(err, "SentinelControl: " + args.error + "\n(SentinelControl --help lists the commands)\n");
        return EXIT_USAGE;
    }
    const Environment env = resolveEnvironment(args);
    switch (args.command) {
    case Command::Die:
        return sendToWatchdog(env, "COMMAND", "DIE", out, err);
    case Command::Reconfig:
        return sendToWatchdog(env, "COMMAND", "RECONFIG", out, err);
    case Command::StatusCheck:
        return sendToWatchdog(env, "COMMAND", "STATUS_CHECK", out, err);
    case Command::Run:
        return sendToWatchdog(env, "RUN_PROG", runRequest(args.program, args.programArguments), out, err);
    case Command::Pause:
        return setMarker(env, instanceMarker(env), 0, out, err);
    case Command::Resume:
        return setMarker(env, instanceMarker(env), 1, out, err);
    case Command::Stop:
        return setMarker(env, kMachineMarker, 2, out, err);
    case Command::ClearStop:
        return setMarker(env, kMachineMarker, 1, out, err);
    case Command::Markers:
        print(out, markerTable(env));
        return EXIT_OK;
    case Command::Status:
        return showStatus(args, env, out, err);
    case Command::Listen:
        return listen(args, env, out, err);
    case Command::Tail:
        return tail(args, env, out, err);
    default:
        print(err, "SentinelControl: no command given\n");
        return EXIT_USAGE;
    }
}

} // namespace SentinelControl
