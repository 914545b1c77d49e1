// SentinelLog.h - the watchdog's log calls: through the current logger, dropped while there is
// none, and never throwing into the caller.
//
// Win32 program code (internal to the watchdog).
#pragma once

#include "VorlixSentinel/Sentinel.h"

namespace SentinelLog {

// The watchdog module's catalogue messages.
constexpr int32_t kMsgStarted = 1;        // NOTICE: the watchdog runs
constexpr int32_t kMsgAlreadyRunning = 2; // FATAL: another watchdog of this user (instance name)
constexpr int32_t kMsgMissingKey = 3;     // FATAL/ERROR: a configuration key (its path)
constexpr int32_t kMsgNoCatalogues = 4;   // ERROR: the catalogue loader's text
constexpr int32_t kMsgCannotCapture = 5;  // ERROR: application, reason
constexpr int32_t kMsgCannotStart = 6;    // ERROR: application, reason
constexpr int32_t kMsgStopped = 7;        // WARNING: application
constexpr int32_t kMsgGivenUp = 8;        // ERROR: application
constexpr int32_t kMsgNoIpcServer = 9;    // FATAL: reason
constexpr int32_t kMsgCannotSignal = 10;  // ERROR: application, reason

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
