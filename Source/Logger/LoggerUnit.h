// LoggerUnit.h - the logging front end every module holds, and the dispatcher it hands records to.
//
// Portable: no platform headers. A module keeps a CountedHandle<LoggerUnit>; an empty handle means
// "no logger", and callers drop their log calls then. Records pass the process-wide thresholds
// first: a debug record when its level is at most the debug threshold (5 at start), a catalogued
// record when its severity is at least the severity threshold (0 at start; 5 silences all).
#pragma once

#include "Foundation/CountedHandle.h"
#include "Logger/LogMessenger.h"
#include "Logger/LogRecord.h"
#include "Logger/LogVocabulary.h"
#include "Logger/ParameterList.h"

#include <cstdint>
#include <string>

namespace Vorlix {

// Takes finished records, stamps the application number (and, with the thread-id flag, the thread
// id in front of debug texts), serialises them and passes them to its messenger. deliver is
// virtual so that a test can record what a module logs.
class LogDispatcher {
public:
    // Without a messenger every record is refused.
    explicit LogDispatcher(int32_t applicationNumber) : application(applicationNumber) {}
    LogDispatcher(int32_t applicationNumber, CountedHandle<LogMessenger> messengerToUse)
        : application(applicationNumber), messenger(messengerToUse)
    {
    }
    virtual ~LogDispatcher() = default;

    LogDispatcher(const LogDispatcher&) = delete;
    LogDispatcher& operator=(const LogDispatcher&) = delete;

    // True when the record reached its destination.
    virtual bool deliver(LogRecord record);

    int32_t applicationNumber() const { return application; }

private:
    int32_t application;
    CountedHandle<LogMessenger> messenger;
};

class LoggerUnit {
public:
    LoggerUnit(CountedHandle<LogDispatcher> dispatcher, int32_t moduleNumber);
    virtual ~LoggerUnit();

    LoggerUnit(const LoggerUnit&) = delete;
    LoggerUnit& operator=(const LoggerUnit&) = delete;

    // Each call answers true when the record was filtered out or delivered, false without a
    // dispatcher or when delivery failed. Debug calls pass exceptions of the delivery chain on;
    // catalogued calls never throw.
    bool debug(int32_t level, const std::string& text);
    bool debug(int32_t level, const char* text);
    bool debug(int32_t level, const std::string& format, ParameterList parameters);
    bool notice(int32_t messageNumber);
    bool warning(int32_t messageNumber, ParameterList parameters);
    bool error(int32_t messageNumber);
    bool error(int32_t messageNumber, ParameterList parameters);
    bool fatal(int32_t messageNumber, ParameterList parameters);

    int32_t moduleNumber() const { return module; }

private:
    bool catalogued(int32_t severity, int32_t messageNumber, const std::string& parameterText);

    int32_t module;
    CountedHandle<LogDispatcher> dispatcher;
};

// Process-wide thresholds, shared by every thread; values outside 0 to 5 are ignored.
void setDebugThreshold(int32_t level);
int32_t debugThreshold();
void setSeverityThreshold(int32_t severity);
int32_t severityThreshold();

} // namespace Vorlix
