// TimeSpanFuzz.cpp - time span text.
//
// Portable test code. Any text parses or is refused with TimeException; the fields of a parsed span
// are never negative and its count is the clamped total; a span text written from chosen fields
// parses back to them.
#include "Time/TimeSpan.h"

#include "Foundation/Exception.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

using Vorlix::TimeSpan;
using Vorlix::TimeSpanFields;

namespace {

int32_t clampedTotal(const TimeSpanFields& f)
{
    const int64_t total =
        (((static_cast<int64_t>(f.days) * 24 + f.hours) * 60 + f.minutes) * 60 + f.seconds) *
        (f.negative ? -1 : 1);
    if (total > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (total < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(total);
}

bool sameFields(const TimeSpanFields& a, const TimeSpanFields& b)
{
    return a.days == b.days && a.hours == b.hours && a.minutes == b.minutes && a.seconds == b.seconds &&
           a.negative == b.negative;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    try {
        const TimeSpanFields fields = TimeSpan::parse(text);
        FUZZ_REQUIRE(fields.days >= 0 && fields.hours >= 0 && fields.minutes >= 0 && fields.seconds >= 0);
        FUZZ_REQUIRE(fields.negative <= 1);
        FUZZ_REQUIRE(TimeSpan(fields).seconds() == clampedTotal(fields));
    } catch (const Vorlix::TimeException&) {
        FUZZ_REQUIRE(!text.empty() && text[0] != 'P');
    }

    FuzzedDataProvider data(bytes, size);
    TimeSpanFields chosen;
    chosen.negative = data.ConsumeBool() ? 1 : 0;
    std::string written = chosen.negative ? "P-" : "P";
    struct Part {
        char letter;
        int32_t* field;
    };
    Part parts[] = {
        {'D', &chosen.days}, {'H', &chosen.hours}, {'M', &chosen.minutes}, {'S', &chosen.seconds}};
    // Written in an order the input chooses: the designators may stand in any order.
    for (size_t i = 4; i > 1; --i) {
        std::swap(parts[i - 1], parts[data.ConsumeIntegralInRange<size_t>(0, i - 1)]);
    }
    for (const Part& part : parts) {
        if (data.ConsumeBool()) {
            *part.field = data.ConsumeIntegralInRange<int32_t>(0, std::numeric_limits<int32_t>::max());
            written += std::to_string(*part.field) + part.letter;
        }
    }
    const TimeSpanFields parsed = TimeSpan::parse(written);
    if (!sameFields(parsed, chosen)) {
        std::fprintf(stderr, "span text %s\n", written.c_str());
    }
    FUZZ_REQUIRE(sameFields(parsed, chosen));
    FUZZ_REQUIRE(TimeSpan(parsed).seconds() == clampedTotal(chosen));
    return 0;
}
