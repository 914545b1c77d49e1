// LoggerUnit.cpp - filtering records by the thresholds and handing them to the dispatcher.
//
// Portable: no platform headers.
#include "Logger/LoggerUnit.h"

#include "Foundation/StringUtils.h"

#include <atomic>
#include <climits>
#include <vector>

namespace Vorlix {

namespace {

std::atomic<int32_t> debugLevelThreshold{5};
std::atomic<int32_t> severityLevelThreshold{0};

struct ModuleRow {
    int32_t number;
    const char* displayName;
};

const ModuleRow kModules[] = {
    {0, "Core"}, {1, "Configuration"}, {2, "Logger"}, {4, "Time"}, {6, "IPC"}, {23, "Sentinel"},
};

} // namespace

void setDebugThreshold(int32_t level)
{
    debugLevelThreshold = level;
}

int32_t debugThreshold()
{
    return debugLevelThreshold;
}

void setSeverityThreshold(int32_t severity)
{
    severityLevelThreshold = severity;
}

int32_t severityThreshold()
{
    return severityLevelThreshold;
}

std::string moduleName(int32_t module)
{
    for (const auto& row : kModules) {
        if (row.number == module) {
            return row.displayName;
        }
    }
    return "<<Unknown>>";
}

void substituteParameters(std::string& message, const std::string& parameterText)
{
    std::vector<std::string> parameters;
    split(parameterText, ParameterList::SEPARATOR, parameters, static_cast<size_t>(INT_MAX));
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < message.size() && message[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (i + 1 >= message.size() || next >= parameters.size()) {
            out += "<?}";
            ++i;
            continue;
        }
        char expected = '\0';
        switch (message[i + 1]) {
        case 's':
            expected = 's';
            break;
        case 'i':
        case 'f':
            expected = 'n';
            break;
        case 'd':
            expected = 'e';
            break;
        case 'p':
            expected = 'p';
            break;
        default:
            break;
        }
        const std::string& entry = parameters[next++];
        const std::string value = entry.empty() ? std::string() : entry.substr(1);
        if (expected != '\0' && !entry.empty() && entry[0] == expected) {
            out += value;
        } else {
            out += '\\' + value + '\\';
        }
        ++i;
    }
    message = out;
}

bool LogDispatcher::deliver(LogRecord record)
{
    // Until a messenger is attached, records have nowhere to go.
    record.application = application;
    return false;
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
    record.debugLevel = level;
    record.text = text;
    return dispatcher->deliver(record);
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
        record.severity = severity;
        record.messageNumber = messageNumber;
        record.text = parameterText;
        return dispatcher->deliver(record);
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
