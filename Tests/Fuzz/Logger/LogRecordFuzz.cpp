// LogRecordFuzz.cpp - log record texts, parameter substitution and log lines.
//
// Portable test code. Properties: a record serialises and parses back to the same fields; any text
// either is no record, is refused for a negative time, or parses into a record that serialises and
// parses back to itself; parameter substitution puts each parameter's value where its mark stands
// and leaves every other byte as it was; a log line starts with its padded label and ends with the
// record's text.
#include "Logger/LogRecord.h"
#include "Logger/ParameterList.h"

#include "Foundation/Exception.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace Vorlix;

namespace {

bool sameRecord(const LogRecord& a, const LogRecord& b)
{
    return a.kind == b.kind && a.application == b.application && a.module == b.module &&
           a.time.seconds() == b.time.seconds() && a.text == b.text && a.messageNumber == b.messageNumber &&
           (a.kind == RECORD_DEBUG ? a.debugLevel == b.debugLevel : a.severity == b.severity);
}

std::string without(std::string text, char byte)
{
    for (char& c : text) {
        if (c == byte) {
            c = '.';
        }
    }
    return text;
}

void anyText(const std::string& text)
{
    LogRecord record;
    bool parsed = false;
    try {
        parsed = parseRecord(text, record);
    } catch (const TimeException&) {
        return;
    }
    if (!parsed) {
        return;
    }
    FUZZ_REQUIRE(record.time.seconds() >= 0);
    FUZZ_REQUIRE(record.text.find(RECORD_SEPARATOR) == std::string::npos);
    LogRecord again;
    FUZZ_REQUIRE(parseRecord(serialiseRecord(record), again));
    FUZZ_REQUIRE(sameRecord(record, again));
    FUZZ_REQUIRE(isDebugRecordText(serialiseRecord(record)) == (record.kind == RECORD_DEBUG));
}

void chosenRecord(FuzzedDataProvider& data)
{
    LogRecord record;
    record.kind = data.ConsumeBool() ? RECORD_DEBUG : RECORD_CATALOGUED;
    record.application = data.ConsumeIntegral<int32_t>();
    record.module = data.ConsumeIntegral<int32_t>();
    record.time = DateTime(data.ConsumeIntegralInRange<int32_t>(0, DateTime::MAX));
    const int32_t level = data.ConsumeIntegral<int32_t>();
    if (record.kind == RECORD_DEBUG) {
        record.debugLevel = level;
    } else {
        record.severity = level;
        record.messageNumber = data.ConsumeIntegral<int32_t>();
    }
    record.text = without(data.ConsumeRandomLengthString(256), RECORD_SEPARATOR);
    LogRecord back;
    FUZZ_REQUIRE(parseRecord(serialiseRecord(record), back));
    FUZZ_REQUIRE(sameRecord(record, back));

    const bool found = data.ConsumeBool();
    const std::string line = formatLogLine(record, found);
    FUZZ_REQUIRE(line.size() > 9);
    FUZZ_REQUIRE((line.compare(0, 6, "debug-") == 0) == (record.kind == RECORD_DEBUG));
    if (record.kind == RECORD_DEBUG || found) {
        FUZZ_REQUIRE(line.size() >= record.text.size() &&
                     line.compare(line.size() - record.text.size(), record.text.size(), record.text) == 0);
    }
}

// The type letter a mark takes as it is; any other is shown between backslashes.
char letterFor(char mark)
{
    switch (mark) {
    case 's':
        return 's';
    case 'i':
    case 'f':
        return 'n';
    case 'd':
        return 'e';
    case 'p':
        return 'p';
    default:
        return '?';
    }
}

// A message of literal pieces and marks with a parameter list built for it; the expected text is
// assembled from the pieces.
void substitution(FuzzedDataProvider& data)
{
    std::string message;
    ParameterList parameters;
    std::vector<std::pair<char, std::string>> entries; // type letter, value
    const size_t pieces = data.ConsumeIntegralInRange<size_t>(0, 12);
    for (size_t i = 0; i < pieces; ++i) {
        if (data.ConsumeBool()) {
            const std::string literal = without(data.ConsumeRandomLengthString(16), '%');
            message += literal;
            continue;
        }
        const char marks[] = {'s', 'i', 'f', 'd', 'p', 'x', '%'};
        const char mark = marks[data.ConsumeIntegralInRange<size_t>(0, sizeof marks - 1)];
        message += '%';
        message += mark;
        if (mark == '%') {
            continue;
        }
        if (data.ConsumeBool()) {
            // A mark without a parameter left.
            entries.emplace_back('\0', std::string());
            continue;
        }
        if (data.ConsumeBool()) {
            const int32_t number = data.ConsumeIntegral<int32_t>();
            parameters.add(number);
            entries.emplace_back('n', std::to_string(number));
        } else {
            std::string value = without(data.ConsumeRandomLengthString(16), ParameterList::SEPARATOR);
            parameters.add(value);
            entries.emplace_back('s', value);
        }
    }
    // Marks without a parameter only hold while no parameter follows them: the parameters are
    // taken in order. Such inputs are checked only when every missing mark comes after the last
    // parameter.
    bool missingBeforeParameter = false;
    bool missingSeen = false;
    for (const auto& entry : entries) {
        if (entry.first == '\0') {
            missingSeen = true;
        } else if (missingSeen) {
            missingBeforeParameter = true;
        }
    }
    if (missingBeforeParameter) {
        std::string text = message;
        substituteParameters(text, parameters.text());
        return;
    }
    // Rebuild the expected text with "<?}" for the missing marks.
    std::string rebuilt;
    size_t entryIndex = 0;
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] != '%') {
            rebuilt += message[i];
            continue;
        }
        const char mark = message[++i];
        if (mark == '%') {
            rebuilt += '%';
            continue;
        }
        const auto& entry = entries[entryIndex++];
        if (entry.first == '\0') {
            rebuilt += "<?}";
            continue;
        }
        rebuilt += entry.first == letterFor(mark) ? entry.second : "\\" + entry.second + "\\";
    }
    std::string text = message;
    substituteParameters(text, parameters.text());
    if (text != rebuilt) {
        std::fprintf(stderr, "message %s\nparameters %s\ngives %s\nexpected %s\n",
                     FuzzSupport::shown(message).c_str(), FuzzSupport::shown(parameters.text()).c_str(),
                     FuzzSupport::shown(text).c_str(), FuzzSupport::shown(rebuilt).c_str());
    }
    FUZZ_REQUIRE(text == rebuilt);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::fixZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    anyText(text);
    {
        // Any message with any parameter text: every byte that is no mark stays.
        const size_t half = size / 2;
        std::string message = text.substr(0, half);
        substituteParameters(message, text.substr(half));
        if (text.substr(0, half).find('%') == std::string::npos) {
            FUZZ_REQUIRE(message == text.substr(0, half));
        }
    }
    FuzzedDataProvider data(bytes, size);
    chosenRecord(data);
    substitution(data);
    return 0;
}
