// LoggerAgent.cpp - appending, noting and rotating one log file.
//
// Uses the file layer, SystemInfo and Monopoly; no platform headers here.
#include "Logger/LoggerAgent.h"

#include "File/FileOps.h"
#include "Foundation/Monopoly.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"
#include "Logger/LogRecord.h"

#include <chrono>
#include <new>
#include <sstream>
#include <thread>

namespace Vorlix {

namespace {

// The open flags of a log file: write, create, append, directly and without a lock file (122).
constexpr uint16_t kLogFileAccess = FILE_WRITE | FILE_CREATE | FILE_APPEND | FILE_DIRECT | FILE_NOLOCK;

std::atomic<int32_t> schemeBits{0};
std::atomic<int32_t> periodSeconds{0};
std::atomic<uint32_t> sizeLimitMiB{10};
std::atomic<bool> initIsPending{true};
// Advanced by forgetSeenRotationSettings: every agent then recomputes its schedule at its next line.
std::atomic<uint32_t> settingsGeneration{0};

std::mutex namesLock; // guards the two texts below
std::string appName = "core";
std::string lastCounterText = "0";

std::string localText(const DateTime& t)
{
    return t.toString(false, false, false);
}

uint64_t fileBytes(const std::string& path)
{
    FileInfo info;
    return FileOps::fileInfo(path, info) ? info.size : 0;
}

// Takes the guard, trying `tries` times `pauseMs` apart.
bool acquireGuard(Monopoly& guard, int tries, int pauseMs)
{
    for (int i = 0; i < tries; ++i) {
        if (guard.acquire()) {
            return true;
        }
        if (pauseMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }
    return false;
}

std::string guardNameFor(const std::string& path)
{
    std::string name = FileUtils::fileNamePart(path);
    replaceChar(name, '/', '_');
    replaceChar(name, '\\', '_');
    return name;
}

} // namespace

namespace {

// A schedule is only ever computed while the time bit is set: when it appears, every agent must
// compute one at its next line, also when period and size limit stayed as they were.
void noticeTimeBit(int32_t before, int32_t after)
{
    if ((after & ROTATE_TIME) != 0 && (before & ROTATE_TIME) == 0) {
        ++settingsGeneration;
    }
}

} // namespace

void setRotationScheme(int32_t bits)
{
    noticeTimeBit(schemeBits.exchange(bits), bits);
}

void addRotationScheme(int32_t bits)
{
    const int32_t before = schemeBits.fetch_or(bits);
    noticeTimeBit(before, before | bits);
}

int32_t rotationScheme()
{
    return schemeBits;
}

void setRotationPeriod(const TimeSpan& period)
{
    periodSeconds = period.seconds();
}

TimeSpan rotationPeriod()
{
    return TimeSpan(periodSeconds);
}

void setRotationSizeLimit(uint32_t mebibytes)
{
    sizeLimitMiB = mebibytes;
}

uint32_t rotationSizeLimit()
{
    return sizeLimitMiB;
}

void setInitPending(bool pending)
{
    initIsPending = pending;
}

bool initPending()
{
    return initIsPending;
}

void setApplicationName(const std::string& name)
{
    std::lock_guard<std::mutex> hold(namesLock);
    appName = name;
}

std::string applicationName()
{
    std::lock_guard<std::mutex> hold(namesLock);
    return appName;
}

void forgetSeenRotationSettings()
{
    ++settingsGeneration;
}

LoggerAgent::LoggerAgent() : nextRotation(DateTime::MAX)
{
    sizeLimitMiB = 10;
    seenGeneration = settingsGeneration.load();
}

LoggerAgent::~LoggerAgent()
{
    try {
        close("Quitting Logger Agent");
    } catch (...) {
        // Nothing may escape a destructor.
    }
    file.reset();
}

std::string LoggerAgent::path() const
{
    std::lock_guard<std::recursive_mutex> hold(agentLock);
    return file.isNull() ? std::string() : file->name();
}

std::string LoggerAgent::location() const
{
    return "file:///" + path();
}

DateTime LoggerAgent::nextRotationTime() const
{
    std::lock_guard<std::recursive_mutex> hold(agentLock);
    return nextRotation;
}

bool LoggerAgent::fileOpen() const
{
    return !file.isNull() && !file->isClosed();
}

bool LoggerAgent::open(const std::string& newPath)
{
    std::lock_guard<std::recursive_mutex> hold(agentLock);
    if (!file.isNull() && file->name() == newPath) {
        return true;
    }
    CountedHandle<FilePlain> next;
    try {
        next = CountedHandle<FilePlain>(new FilePlain(newPath));
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::string note;
    if (fileOpen()) {
        // The closing note still belongs to the old file: it is written under the old file's guard.
        const std::string oldPath = file->name();
        closeFile("Log file moved to \"" + newPath + "\".", Mode::NOTE);
        note = "Log continued from \"" + oldPath + "\".\r\n";
    }
    lockName = guardNameFor(newPath);
    file = next;
    if (!note.empty()) {
        writeLine(note, Mode::NOTE);
    }
    return true;
}

bool LoggerAgent::write(const std::string& line)
{
    return writeLine(line, Mode::ORDINARY);
}

void LoggerAgent::close(const std::string& reason)
{
    std::lock_guard<std::recursive_mutex> hold(agentLock);
    closeFile(reason, state != 0 ? Mode::GUARDED : Mode::NOTE);
}

void LoggerAgent::closeFile(const std::string& reason, Mode mode)
{
    if (!fileOpen()) {
        return;
    }
    writeLine("\r\nClosing log file \"" + FileUtils::fileNamePart(file->name()) +
                  "\". Time: " + localText(DateTime()) + ". Reason: " + reason + ".\r\n",
              mode);
    try {
        file->close();
    } catch (const Exception&) {
        // Direct writes that reached the file stay; the object is closed either way.
    }
}

bool LoggerAgent::writeLine(const std::string& line, Mode mode)
{
    std::lock_guard<std::recursive_mutex> hold(agentLock);
    if (file.isNull()) {
        return false;
    }
    // Each agent notices changes for itself: with one remembered pair per process, only the first
    // agent to write after a change would see it.
    if (periodSeconds != seenPeriod || sizeLimitMiB != seenSizeLimit ||
        settingsGeneration != seenGeneration) {
        seenPeriod = periodSeconds.load();
        seenSizeLimit = sizeLimitMiB.load();
        seenGeneration = settingsGeneration.load();
        recomputeSchedule();
    }
    // Other threads of this process wait on the agent lock, so only this thread's own notes can
    // meet a check or a rotation in progress, and those are written as GUARDED.
    if (mode == Mode::ORDINARY && state == 0) {
        checkRotation();
    }
    if (!fileOpen() && !openFile(mode)) {
        return false;
    }
    Monopoly guard(lockName);
    if (mode != Mode::GUARDED && !acquireGuard(guard, kLineTries, kLinePauseMs)) {
        return false; // the line is dropped
    }
    try {
        file->seek(0, 2);
        file->write(line + "\r\n");
        if (mode != Mode::GUARDED) {
            initIsPending = false;
        }
        file->flush();
    } catch (const Exception&) {
        return false;
    }
    return true;
}

bool LoggerAgent::openFile(Mode mode)
{
    const std::string current = file->name();
    openedTime = DateTime();
    const std::string prefix = applicationName();
    const bool existed = FileOps::exists(current);
    if (existed) {
        std::string stored;
        if (SystemInfo::getProductString(prefix + "LogOpened", stored) == 0) {
            try {
                openedTime = DateTime(DateTime::parse(stored));
            } catch (const Exception&) {
                // A value spoilt from outside counts as missing: the file is taken as opened now.
                openedTime = DateTime();
            }
        }
    } else {
        initIsPending = false;
        FileUtils::createParentDirectories(current); // a failure shows at the open below
    }
    try {
        file->open(kLogFileAccess);
    } catch (const Exception&) {
        return false;
    }
    // The schedule of this file is in place before its first note asks whether to rotate: the
    // first boundary after the opening time, also when it is already past, so that a file whose
    // period ended while nothing was written rotates at once (init and time alike).
    scheduleBase = openedTime.seconds();
    recomputeSchedule(false);
    scheduleReady = true;
    if (state == 0 && mode != Mode::GUARDED) {
        writeLine("\r\nOpened log file \"" + FileUtils::fileNamePart(current) +
                      "\". Time: " + localText(DateTime()) + "\r\n",
                  Mode::ORDINARY);
    }
    if (!existed) {
        SystemInfo::setProductString(prefix + "LogOpened", openedTime.toString(true, true, false));
    }
    scheduleBase = openedTime.seconds();
    recomputeSchedule();
    return fileOpen();
}

void LoggerAgent::recomputeSchedule(bool notInThePast)
{
    if ((schemeBits & ROTATE_TIME) == 0) {
        return;
    }
    const int64_t p = periodSeconds;
    nextRotation.setSeconds(saturateSeconds(static_cast<int64_t>(scheduleBase) + p));
    if (p <= 0 || nextRotation.seconds() <= scheduleBase) {
        return;
    }
    scheduleBase = nextRotation.seconds();
    nextRotation.alignDown(TimeSpan(static_cast<int32_t>(p)));
    // The first boundary not in the past, reached in one step: an old base and a short period
    // would take up to 2^31 rounds of adding, and never end where the sum saturates.
    const int64_t now = DateTime().seconds();
    int64_t next = nextRotation.seconds();
    if (notInThePast && next < now) {
        next += ((now - next + p - 1) / p) * p;
    }
    nextRotation.setSeconds(saturateSeconds(next));
}

bool LoggerAgent::shouldRotate(uint64_t sizeBytes, const DateTime& now, std::string& note) const
{
    const int32_t bits = schemeBits;
    const bool initBit = (bits & ROTATE_INIT) != 0;
    const bool timeBit = (bits & ROTATE_TIME) != 0;
    const bool sizeBit = (bits & ROTATE_SIZE) != 0;
    const bool due = !(nextRotation > now);
    const float limit = static_cast<float>(sizeLimitMiB.load()) * sizeFactor.load();
    const uint64_t sizeMiB = sizeBytes >> 20;
    const bool big = static_cast<float>(sizeMiB) >= limit;
    const bool periodSet = periodSeconds > 0;

    bool rotate = false;
    if (initBit) {
        rotate = initIsPending && (!timeBit || due) && (!sizeBit || big);
    } else if (timeBit) {
        rotate = due ? periodSet && (!sizeBit || big) : periodSet && sizeBit && big;
    } else if (sizeBit) {
        rotate = big;
    }
    if (!rotate) {
        return false; // the notes are built only for a rotation: this runs before every line
    }

    std::ostringstream limitText;
    limitText << limit;
    const std::string sizePart = " Size " + std::to_string(sizeMiB) + " >= " + limitText.str();
    const std::string timePart = "Time " + localText(nextRotation) + " <= " + localText(now);
    if (initBit) {
        note = "\nRotate condition(s): Init";
        if (timeBit) {
            note += " AND " + timePart;
        }
        if (sizeBit) {
            note += " AND" + sizePart;
        }
    } else if (timeBit && !due) {
        note = "\nRotate condition(s):" + sizePart;
    } else if (timeBit) {
        note = "\nRotate condition(s): " + timePart;
        if (sizeBit) {
            note += " AND" + sizePart;
        }
    } else {
        note = "\nRotate condition: Size" + std::to_string(sizeMiB) + " >= " + limitText.str();
    }
    return true;
}

uint64_t LoggerAgent::currentSize() const
{
    // The end of the open file is its size, appends of other processes included; asking the open
    // handle is far cheaper than a directory search on the path.
    try {
        const int64_t end = file->seek(0, 2);
        if (end >= 0) {
            return static_cast<uint64_t>(end);
        }
    } catch (const Exception&) {
        // Asked of the path below.
    }
    return fileBytes(file->name());
}

void LoggerAgent::checkRotation()
{
    if (!fileOpen() || schemeBits == 0) {
        return;
    }
    std::string note;
    // Asked first without the guard, so that a line that cannot rotate costs no second guard;
    // the answer that counts is the one given under the guard.
    if (!shouldRotate(currentSize(), currentTime(), note)) {
        return;
    }
    Monopoly guard(lockName);
    if (!acquireGuard(guard, kCheckTries, 0) || state != 0) {
        return;
    }
    struct StateReset {
        std::atomic<int32_t>& value;
        ~StateReset() { value = 0; }
    } reset{state};
    state = 1;
    try {
        note.clear();
        if (shouldRotate(currentSize(), currentTime(), note)) {
            writeLine(note, Mode::GUARDED);
            rotate();
        }
    } catch (...) {
        // Whatever failed, the state goes back to idle and the guard is released on the way out,
        // or every later line of the process would wait for ever.
    }
}

void LoggerAgent::rotate()
{
    state = 2;
    writeLine("\nRotation process started...", Mode::GUARDED);

    const std::string current = file->name();
    const size_t dot = current.rfind('.');
    const std::string first = dot == std::string::npos ? current : current.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : current.substr(dot + 1);

    const std::string prefix = applicationName();
    std::string counterText;
    if (SystemInfo::getProductString(prefix + "LogCounter", counterText) != 0) {
        std::lock_guard<std::mutex> hold(namesLock);
        counterText = lastCounterText;
    }
    const std::string stamp = openedTime.toString(false, true, false);
    auto archiveName = [&](const std::string& counter) {
        return first + "_" + stamp + "_" + counter + (ext.empty() ? std::string() : "." + ext);
    };
    // An archive is never replaced: when the counter could not be kept (the registry refused it),
    // the name of an earlier archive comes round again, and the counter moves past it.
    int32_t counter = leadingInteger(counterText);
    std::string target = archiveName(counterText);
    for (int attempt = 1; attempt < kArchiveAttempts && FileOps::exists(target); ++attempt) {
        counter = counter < INT32_MAX ? counter + 1 : counter;
        counterText = intToString(counter);
        target = archiveName(counterText);
    }
    {
        std::lock_guard<std::mutex> hold(namesLock);
        lastCounterText = counterText;
    }
    SystemInfo::setProductString(prefix + "LogCounter",
                                 intToString(counter < INT32_MAX ? counter + 1 : counter));

    writeLine("Renaming file from \"" + current + "\" to \"" + target + "\".", Mode::GUARDED);
    closeFile("Rotating log file", Mode::GUARDED);
    const bool moved = FileOps::moveFile(current, target, false);
    const uint32_t error = moved ? 0 : FileOps::lastError();
    if (moved) {
        sizeFactor = 1.0f;
        writeLine("Log continued from \"" + FileUtils::fileNamePart(target) + "\".", Mode::GUARDED);
    } else {
        sizeFactor = sizeFactor + 0.25f;
        writeLine("Log file rotation error. (" + std::to_string(error) + ")", Mode::GUARDED);
    }
    state = 0;
}

} // namespace Vorlix
