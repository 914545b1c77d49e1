// LogRecord.cpp - serialising, parsing and formatting log records, and parameter substitution.
//
// Portable: no platform headers; must stay so.
#include "Logger/LogRecord.h"

#include "Foundation/Exception.h"
#include "Foundation/StringUtils.h"
#include "Logger/LogVocabulary.h"
#include "Logger/ParameterList.h"

#include <chrono>
#include <climits>
#include <vector>

namespace Vorlix {

namespace {

const char* const kAddressee = "Vorlix";

std::string atLeastTwoDigits(int32_t value)
{
    return value >= 0 && value < 10 ? "0" + intToString(value) : intToString(value);
}

// The parameter values of a message that has no catalogue text: type letters dropped, each
// separator shown as two spaces.
std::string renderParameters(const std::string& parameterText)
{
    std::string out;
    for (size_t i = 1; i < parameterText.size(); ++i) {
        const char c = parameterText[i];
        if (c == '\x1A' || c == '\x1B') {
            out += "  ";
            ++i; // the next entry's type letter
        } else {
            out += c;
        }
    }
    return out;
}

// The local time text of a record: converting is the dearest part of a line, and a busy log writes
// many lines in one second. Keyed also by the process-wide default offset, which changes the text.
std::string localTimeText(const DateTime& time)
{
    thread_local int32_t cachedSeconds = -1;
    thread_local int32_t cachedOffset = 0;
    thread_local std::string cachedText;
    const int32_t offset = DateTime::defaultZoneOffset;
    if (time.seconds() != cachedSeconds || offset != cachedOffset || cachedSeconds < 0) {
        cachedText = time.toString(false, false, false);
        cachedSeconds = time.seconds();
        cachedOffset = offset;
    }
    return cachedText;
}

} // namespace

DateTime currentTime()
{
    const auto count =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    return DateTime(saturateSeconds(static_cast<int64_t>(count)));
}

std::string serialiseRecord(const LogRecord& record)
{
    const bool debugRecord = record.kind == RECORD_DEBUG;
    std::string text;
    text.reserve(48 + record.text.size());
    auto field = [&text](const std::string& value) {
        text += value;
        text += RECORD_SEPARATOR;
    };
    field(kAddressee);
    field(debugRecord ? "DEBUG" : "LOG");
    field(intToString(record.application));
    field(intToString(record.module));
    field(intToString(record.time.seconds()));
    field(intToString(debugRecord ? record.debugLevel : record.severity));
    field(record.text);
    if (!debugRecord) {
        field(intToString(record.messageNumber));
    }
    return text;
}

bool parseRecord(const std::string& text, LogRecord& record)
{
    std::string rest = text;
    if (cut(rest, RECORD_SEPARATOR) != kAddressee) {
        return false;
    }
    const std::string kind = cut(rest, RECORD_SEPARATOR);
    if (kind != "DEBUG" && kind != "LOG") {
        return false;
    }
    const bool debugRecord = kind == "DEBUG";
    record.kind = debugRecord ? RECORD_DEBUG : RECORD_CATALOGUED;
    record.application = leadingInteger(cut(rest, RECORD_SEPARATOR));
    record.module = leadingInteger(cut(rest, RECORD_SEPARATOR));
    // The base class's setter: a negative count is no instant and must not pass unnoticed.
    record.time.TimeBase::setSeconds(leadingInteger(cut(rest, RECORD_SEPARATOR)));
    const int32_t level = leadingInteger(cut(rest, RECORD_SEPARATOR));
    record.text = cut(rest, RECORD_SEPARATOR);
    if (debugRecord) {
        record.debugLevel = level;
        record.messageNumber = LogRecord::NO_MESSAGE;
    } else {
        record.severity = level;
        record.messageNumber = leadingInteger(cut(rest, RECORD_SEPARATOR));
    }
    return true;
}

bool isDebugRecordText(const std::string& text)
{
    return text.size() > 11 && text.compare(7, 5, "DEBUG") == 0;
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
        // A "%" at the very end has no conversion letter: the mark is the text's last byte, and
        // nothing after it may be read.
        if (i + 1 >= message.size()) {
            out += "<?}";
            break;
        }
        const char conversion = message[i + 1];
        ++i;
        if (conversion == '%') {
            out += '%';
            continue;
        }
        if (next >= parameters.size()) {
            out += "<?}";
            continue;
        }
        char expected = '\0';
        switch (conversion) {
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
    }
    message = out;
}

std::string formatLogLine(const LogRecord& record, bool found)
{
    const bool debugRecord = record.kind == RECORD_DEBUG;
    std::string label =
        debugRecord ? "debug-" + intToString(record.debugLevel) : severityName(record.severity);
    padRight(label, 8, ' ');
    std::string line;
    line.reserve(48 + record.text.size());
    line += label;
    line += ' ';

    try {
        line += localTimeText(record.time);
        line += ' ';
    } catch (const TimeException&) {
        line += "INVALID TIME STAMP  ";
    }

    line += "(" + intToString(record.application) + "." + atLeastTwoDigits(record.module);
    if (record.messageNumber == LogRecord::NO_MESSAGE) {
        line += ")   ";
    } else {
        line += "." + atLeastTwoDigits(record.messageNumber) + ")";
    }
    line += " ";

    if (debugRecord || found) {
        line += record.text;
    } else {
        line += "(Message not found.)";
        if (!record.text.empty()) {
            line += " Parameters: " + renderParameters(record.text);
        }
    }
    return line;
}

} // namespace Vorlix
