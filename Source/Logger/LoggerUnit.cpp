// LoggerUnit.cpp - filtering records by the thresholds and handing them to the dispatcher.
//
// Portable: no platform headers (the thread id comes from the messenger layer).
#include "Logger/LoggerUnit.h"

#include "Foundation/StringUtils.h"

#include <atomic>
#include <utility>

namespace Vorlix {

namespace {

std::atomic<int32_t> debugLevelThreshold{5};
std::atomic<int32_t> severityLevelThreshold{0};

} // namespace

void setDebugThreshold(int32_t level)
{
    if (level >= 0 && level <= 5) {
        debugLevelThreshold = level;
    }
}

int32_t debugThreshold()
{
    return debugLevelThreshold;
}

void setSeverityThreshold(int32_t severity)
{
    if (severity >= 0 && severity <= 5) {
        severityLevelThreshold = severity;
    }
}

int32_t severityThreshold()
{
    return severityLevelThreshold;
}

bool LogDispatcher::deliver(LogRecord record)
{
    record.application = application;
    if (record.kind == RECORD_DEBUG && threadIdFlag()) {
        record.text = std::to_string(currentThreadId()) + ": " + record.text;
    }
    if (messenger.isNull()) {
        return false;
    }
    return messenger->deliver(serialiseRecord(record));
}

LoggerUnit::LoggerUnit(CountedHandle<LogDispatcher> dispatcherToUse, int32_t moduleNumber)
    : module(moduleNumber), dispatcher(dispatcherToUse)
{
    try {
        debug(1, "LoggerUnit: Created logger for the %s module.", ParameterList().add(moduleName(module)));
    } catch (...) {
        // A unit that cannot announce itself still works.
    }
}

LoggerUnit::~LoggerUnit()
{
    try {
        debug(1, "LoggerUnit: Destroyed logger for the %s module.", ParameterList().add(moduleName(module)));
    } catch (...) {
        // Nothing may escape a destructor.
    }
    dispatcher.reset();
}

bool LoggerUnit::debug(int32_t level, const std::string& text)
{
    if (level > debugThreshold()) {
        return true;
    }
    if (dispatcher.isNull()) {
        return false;
    }
    LogRecord record;
    record.kind = RECORD_DEBUG;
    record.module = module;
    record.time = currentTime();
    record.debugLevel = level;
    record.text = text;
    return dispatcher->deliver(std::move(record));
}

bool LoggerUnit::debug(int32_t level, const char* text)
{
    return debug(level, std::string(text != nullptr ? text : ""));
}

bool LoggerUnit::debug(int32_t level, const std::string& format, ParameterList parameters)
{
    if (level > debugThreshold()) {
        return true;
    }
    std::string text = format;
    substituteParameters(text, parameters.text());
    return debug(level, text);
}

bool LoggerUnit::catalogued(int32_t severity, int32_t messageNumber, const std::string& parameterText)
{
    if (severity < severityThreshold()) {
        return true;
    }
    try {
        if (dispatcher.isNull()) {
            return false;
        }
        LogRecord record;
        record.kind = RECORD_CATALOGUED;
        record.module = module;
        record.time = currentTime();
        record.severity = severity;
        record.messageNumber = messageNumber;
        record.text = parameterText;
        return dispatcher->deliver(std::move(record));
    } catch (...) {
        return false;
    }
}

bool LoggerUnit::notice(int32_t messageNumber)
{
    return catalogued(SEV_NOTICE, messageNumber, std::string());
}

bool LoggerUnit::warning(int32_t messageNumber, ParameterList parameters)
{
    return catalogued(SEV_WARNING, messageNumber, parameters.text());
}

bool LoggerUnit::error(int32_t messageNumber)
{
    return catalogued(SEV_ERROR, messageNumber, std::string());
}

bool LoggerUnit::error(int32_t messageNumber, ParameterList parameters)
{
    return catalogued(SEV_ERROR, messageNumber, parameters.text());
}

bool LoggerUnit::fatal(int32_t messageNumber, ParameterList parameters)
{
    return catalogued(SEV_FATAL, messageNumber, parameters.text());
}

} // namespace Vorlix
