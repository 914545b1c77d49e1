// LoggerAgent.h - the log file agent: appends lines to one log file under a machine-wide guard,
// notes when the file is opened, moved and closed, and rotates it by the process-wide settings.
//
// Uses the file layer, the registry facade and the exclusion guard; no platform headers here.
// Every process and thread that writes the same file name takes the guard named after the file
// name for each line, so lines stay whole and in order. Within one process an agent is used by
// one thread at a time (an in-process lock), so its lazy open, schedule and rotation never
// interleave.
#pragma once

#include "File/FileBase.h"
#include "Foundation/CountedHandle.h"
#include "Time/DateTime.h"
#include "Time/TimeSpan.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace Vorlix {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual std::string location() const = 0;
    virtual bool write(const std::string& line) = 0;
};

enum RotationBits : int32_t { ROTATE_INIT = 1, ROTATE_TIME = 2, ROTATE_SIZE = 4 };

// Process-wide rotation settings, shared by every agent of the process; any thread may set them,
// and each takes effect at the next line.
void setRotationScheme(int32_t bits);
void addRotationScheme(int32_t bits);
int32_t rotationScheme();
void setRotationPeriod(const TimeSpan& period);
TimeSpan rotationPeriod();
void setRotationSizeLimit(uint32_t mebibytes);
uint32_t rotationSizeLimit();
void setInitPending(bool pending);
bool initPending();
void setApplicationName(const std::string& name);
std::string applicationName();
// Makes every agent compute its schedule afresh at its next line, as if it had never seen the
// period and size limit.
void forgetSeenRotationSettings();

class LoggerAgent : public LogSink {
public:
    // Bounds of the guard waits: a line asks kLineTries times, kLinePauseMs apart, then is dropped.
    static constexpr int kLineTries = 40;
    static constexpr int kLinePauseMs = 50;
    static constexpr int kCheckTries = 50;
    // Archive names tried at one rotation before it gives up on finding a free one.
    static constexpr int kArchiveAttempts = 100;

    LoggerAgent();
    ~LoggerAgent() override;

    LoggerAgent(const LoggerAgent&) = delete;
    LoggerAgent& operator=(const LoggerAgent&) = delete;

    // Makes `path` the log file; closes a file that was open with the moved-to note, and the new
    // file starts with the continued-from note. False when no file object could be made.
    bool open(const std::string& path);
    // Appends the line and CR LF; false when the line was not written (guard not obtained, file
    // error).
    bool write(const std::string& line) override;
    std::string location() const override;
    // Notes the closing in the file and closes it; nothing when the file is not open.
    void close(const std::string& reason);

    std::string path() const;
    DateTime nextRotationTime() const;
    float sizeFactorNow() const { return sizeFactor.load(); }

private:
    // How a line is written: ORDINARY checks the rotation conditions and takes the guard; NOTE
    // (the agent's own notes outside a rotation) skips the check; GUARDED notes are written by the
    // thread that already holds the guard for a check or a rotation.
    enum class Mode { ORDINARY, NOTE, GUARDED };

    bool writeLine(const std::string& line, Mode mode);
    bool openFile(Mode mode);
    void closeFile(const std::string& reason, Mode mode);
    // The next boundary after scheduleBase; with `notInThePast`, the first one not before now.
    void recomputeSchedule(bool notInThePast = true);
    void checkRotation();
    // The rotation decision; fills `note` with the condition note when it says rotate.
    bool shouldRotate(uint64_t sizeBytes, const DateTime& now, std::string& note) const;
    void rotate();
    bool fileOpen() const;
    uint64_t currentSize() const;

    mutable std::recursive_mutex agentLock;
    CountedHandle<FilePlain> file;
    std::string lockName;
    DateTime openedTime;
    DateTime nextRotation;
    std::atomic<int32_t> state{0};
    std::atomic<float> sizeFactor{1.0f};
    int32_t scheduleBase = 0;
    bool scheduleReady = false;
    // The period and size limit as they were when the schedule was last computed.
    int32_t seenPeriod = 0;
    uint32_t seenSizeLimit = 0;
    uint32_t seenGeneration = 0;
};

} // namespace Vorlix
