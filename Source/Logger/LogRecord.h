// LogRecord.h - one log record as it travels from a module to the log file and the core service,
// its one-line serialised text, and the log line written for it.
//
// Portable: no platform headers; must stay so (it is built natively and fuzzed). The serialised
// text is fields each followed by the byte 28: "Vorlix", "LOG" or "DEBUG", application, module,
// time in seconds since 1970, level, text, and for catalogued records the message number. Nothing
// is escaped: a text holding the byte 28 corrupts the record.
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
    DateTime time{0}; // the front end stamps the present moment
    int32_t severity = 0;
    int32_t debugLevel = 0;
    int32_t messageNumber = NO_MESSAGE;
    // Debug records: the finished text. Catalogued records: the parameter list's text.
    std::string text;
};

constexpr char RECORD_SEPARATOR = '\x1C';

// The present moment in whole seconds, read from the standard clock: the runtime's time() costs
// more than a microsecond per call under Wine, a good part of a log line.
DateTime currentTime();

std::string serialiseRecord(const LogRecord& record);
// False when `text` is not a record. A negative time count throws TimeException TM_DATETIME.
bool parseRecord(const std::string& text, LogRecord& record);
bool isDebugRecordText(const std::string& text);

// Replaces each conversion mark of `message` by the next parameter of `parameterText`: a value
// whose type letter fits the mark as it is, any other between backslashes, "<?}" for a mark
// without a parameter left (or a "%" at the very end).
void substituteParameters(std::string& message, const std::string& parameterText);

// The log line of a record whose text is resolved: for a catalogued record with `found`, the
// substituted catalogue text; without it, the parameter text.
std::string formatLogLine(const LogRecord& record, bool found);

} // namespace Vorlix
