// LogRecord.h - one log record as it travels from a module to the log file and the core service.
//
// Portable: no platform headers.
#pragma once

#include "Time/DateTime.h"

#include <cstdint>
#include <string>

namespace Vorlix {

enum Severity : int32_t {
    SEV_NOTICE = 0,
    SEV_WARNING = 1,
    SEV_ERROR = 2,
    SEV_CRITICAL = 3,
    SEV_FATAL = 4,
};

enum RecordKind : int32_t { RECORD_DEBUG = 0, RECORD_CATALOGUED = 1 };

struct LogRecord {
    static constexpr int32_t NO_MESSAGE = 99999;

    int32_t kind = RECORD_DEBUG;
    int32_t application = 0;
    int32_t module = 0;
    DateTime time;
    int32_t severity = 0;
    int32_t debugLevel = 0;
    int32_t messageNumber = NO_MESSAGE;
    // Debug records: the finished text. Catalogued records: the parameter list's text.
    std::string text;
};

} // namespace Vorlix
