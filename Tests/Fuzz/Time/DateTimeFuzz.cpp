// DateTimeFuzz.cpp - ISO 8601 date-time text.
//
// Portable test code. Any text either parses or is refused with TimeException; an instant that it
// names, and an instant the input chooses, print in every form (UTC, local with and without the
// offset, basic and extended) and parse back to the same instant.
#include "Time/DateTime.h"

#include "Foundation/Exception.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

using Vorlix::DateFields;
using Vorlix::DateTime;

namespace {

bool inRange(const DateFields& f)
{
    return f.year >= 1970 && f.year <= 2038 && f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= 31 &&
           f.hour >= 0 && f.hour <= 23 && f.minute >= 0 && f.minute <= 59 && f.second >= 0 &&
           f.second <= 59 && f.weekday >= 0 && f.weekday <= 6;
}

int32_t instantOf(const DateFields& fields)
{
    return DateTime(fields).seconds();
}

void checkPrintedForms(int32_t count)
{
    const DateTime instant(count);
    FUZZ_REQUIRE(inRange(instant.fields()));
    // The local forms: the offset is the fixed zone's, and an instant within two hours of MAX has
    // no local text of its own (the local fields are clamped to MAX).
    const bool hasLocalText = count <= DateTime::MAX - 2 * 3600;
    struct Form {
        bool utc;
        bool basic;
        bool showZone;
    };
    const Form forms[] = {{true, false, false}, {true, true, false},   {false, false, true},
                          {false, true, true},  {false, false, false}, {false, true, false}};
    for (const Form& form : forms) {
        if (!form.utc && !hasLocalText) {
            continue;
        }
        DateTime::defaultZoneOffset = DateTime::UNSET;
        const std::string text = instant.toString(form.utc, form.basic, form.showZone);
        int32_t parsed = -1;
        try {
            parsed = instantOf(DateTime::parse(text));
        } catch (const Vorlix::TimeException&) {
            std::fprintf(stderr, "refused its own text: %s\n", text.c_str());
            FuzzSupport::violated("a printed instant parses", __FILE__, __LINE__);
        }
        if (parsed != count) {
            std::fprintf(stderr, "%d printed as %s parses as %d\n", count, text.c_str(), parsed);
        }
        FUZZ_REQUIRE(parsed == count);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::fixZone();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    DateTime::defaultZoneOffset = DateTime::UNSET;
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    try {
        const DateFields fields = DateTime::parse(text);
        FUZZ_REQUIRE(inRange(fields));
        FUZZ_REQUIRE(fields.isLocal == 0);
        checkPrintedForms(instantOf(fields));
    } catch (const Vorlix::TimeException&) {
        // Refused text: the parser's answer to anything that is not a date-time.
    }

    FuzzedDataProvider data(bytes, size);
    checkPrintedForms(data.ConsumeIntegralInRange<int32_t>(0, DateTime::MAX));
    return 0;
}
