// SentinelLog.h - the watchdog's log calls: through the current logger, dropped while there is
// none, and never throwing into the caller.
//
// Win32 program code (internal to the watchdog).
#pragma once

#include "VorlixSentinel/Sentinel.h"

namespace SentinelLog {

inline void debug(int32_t level, const std::string& text)
{
    Vorlix::LoggerUnit* const unit = Sentinel::logger.get();
    if (unit == nullptr) {
        return;
    }
    try {
        unit->debug(level, text);
    } catch (...) {
        // A failing log chain must not stop the watchdog's work.
    }
}

inline void debug(int32_t level, const std::string& format, Vorlix::ParameterList parameters)
{
    Vorlix::LoggerUnit* const unit = Sentinel::logger.get();
    if (unit == nullptr) {
        return;
    }
    try {
        unit->debug(level, format, std::move(parameters));
    } catch (...) {
    }
}

inline void notice(int32_t number)
{
    if (Vorlix::LoggerUnit* const unit = Sentinel::logger.get()) {
        unit->notice(number);
    }
}

inline void warning(int32_t number, Vorlix::ParameterList parameters)
{
    if (Vorlix::LoggerUnit* const unit = Sentinel::logger.get()) {
        unit->warning(number, std::move(parameters));
    }
}

inline void error(int32_t number, Vorlix::ParameterList parameters)
{
    if (Vorlix::LoggerUnit* const unit = Sentinel::logger.get()) {
        unit->error(number, std::move(parameters));
    }
}

inline void fatal(int32_t number, Vorlix::ParameterList parameters)
{
    if (Vorlix::LoggerUnit* const unit = Sentinel::logger.get()) {
        unit->fatal(number, std::move(parameters));
    }
}

} // namespace SentinelLog
