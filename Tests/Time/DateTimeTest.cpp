#include "Time/DateTime.h"
#include "Time/Timer.h"

#include "Foundation/Exception.h"

#include "FixedZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace Vorlix;

namespace {

// Local time in these tests is fixed by the TZ variable of the test process (FixedZone.h): "VLX-2"
// is two hours east of Greenwich, no daylight saving.
const auto* const fixedZone = ::testing::AddGlobalTestEnvironment(new TestSupport::FixedZone);

// Each test starts without a process-wide default offset.
class DateTimeTest : public ::testing::Test {
protected:
    void SetUp() override { DateTime::defaultZoneOffset = DateTime::UNSET; }
    void TearDown() override { DateTime::defaultZoneOffset = DateTime::UNSET; }
};

std::string utcText(const DateFields& f)
{
    return DateTime(f).toString(true, false, false);
}

} // namespace

TEST_F(DateTimeTest, ZoneIsFixedForTheTests)
{
    DateTime epoch(0);
    EXPECT_EQ(epoch.zoneOffset(false), 120);
}

TEST_F(DateTimeTest, ParsesAndPrints)
{
    struct Case {
        const char* text;
        const char* utc;
        const char* why;
    };
    const Case cases[] = {
        {"2008-05-19T06:55:23Z", "2008-05-19T06:55:23Z", "extended UTC"},
        {"20080519T065523Z", "2008-05-19T06:55:23Z", "basic UTC"},
        {"2008-05-19T08:55:23+02:00", "2008-05-19T06:55:23Z", "offset with colon"},
        {"2008-05-19T08:55:23+0200", "2008-05-19T06:55:23Z", "offset without colon"},
        {"2008-05-19T01:55:23-05:00", "2008-05-19T06:55:23Z", "negative offset"},
        {"2008-05-19T08:55:23+02", "2008-05-19T06:55:23Z", "offset hours only"},
        {"2008T12", "2008-01-01T10:00:00Z", "year and hour, local"},
        {"2008-05T12", "2008-05-01T10:00:00Z", "year, month and hour, local"},
        {"2008-05-19T12:30", "2008-05-19T10:30:00Z", "no seconds, local"},
        {"2008-02-30T12:00:00Z", "2008-02-29T12:00:00Z", "day clamped to the month"},
        {"2007-02-29T12:00:00Z", "2007-02-28T12:00:00Z", "no leap day in 2007"},
        {"1969-12-31T23:59:59Z", "1970-12-31T23:59:59Z", "only the year is clamped"},
        {"2039-12-31T23:59:59Z", "2038-01-19T03:14:07Z", "clamped to MAX"},
        {"2039-06-01T00:00:00Z", "2038-01-01T00:00:00Z", "clamping stops at the day"},
        {"2038-01-19T03:14:07Z", "2038-01-19T03:14:07Z", "MAX itself"},
        {"2038-01-19T04:00:00+01:00", "2038-01-19T03:00:00Z", "offset brings it back in range"},
        {"2008-13-40T25:61:61Z", "2008-12-31T23:59:59Z", "fields clamped to their ranges"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(utcText(DateTime::parse(c.text)), c.utc) << c.text;
    }

    const DateTime instant(DateTime::parse("2008-05-19T06:55:23Z"));
    EXPECT_EQ(instant.toString(true, true, false), "20080519T065523Z");
    EXPECT_EQ(utcText(DateTime::parse(instant.toString(true, true, false))), "2008-05-19T06:55:23Z");
}

TEST_F(DateTimeTest, ParseKeepsTheOffsetAsDefault)
{
    DateTime::parse("2008-05-19T08:55:23+02:00");
    EXPECT_EQ(DateTime::defaultZoneOffset, 120);
    DateTime::parse("2008-05-19T08:55:23-05:30");
    EXPECT_EQ(DateTime::defaultZoneOffset, -330);
}

TEST_F(DateTimeTest, TwoDigitYearTakesFieldsFromNow)
{
    const DateFields now = DateTime().fields();
    const DateFields parsed = DateTime::parse("08-05-19T12:00:00Z");
    EXPECT_EQ(parsed.year, now.year);
    EXPECT_EQ(parsed.month, now.month);
    EXPECT_EQ(parsed.day, 19);
}

TEST_F(DateTimeTest, ParseErrors)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"2008-05-19 12:00:00", "Date and time must be separated by a 'T'."},
        {"200T12", "Minimum input: \"yyyy\"."},
        {"2008/05/19T12", "Expected '-' after yyyy (year)."},
        {"2008-5T12", "Illegal input format. Month must have 2 digits."},
        {"2008-05/19T12", "Expected '-' after mm (month)."},
        {"2008-05-1T12", "Illegal input format. Day must have 2 digits."},
        {"2008-05-190T12", "Input too long."},
        {"2008-05-19T1", "Minimum input: \"hh\"."},
        {"2008-05-19T", "Minimum input: \"hh\"."},
        {"2008-05-19T1a", "Minimum input format: \"hh\"."},
        {"2008-05-19T12-00", "Expected ':' after hh (hours)."},
        {"2008-05-19T12:0", "Illegal input format. Minutes must have 2 digits."},
        {"2008-05-19T12:00Z", "Expected ':' after mm (minutes)."},
        {"2008-05-19T12:00:0", "Illegal input format. Seconds must have 2 digits."},
        {"2008-05-19T12:00:00Zx", "Input too long."},
        {"2008-05-19T12:00:00.5", "Expected '+' or '-' before timezone."},
        {"2008-05-19T12:00:00+2", "Illegal input format. Hours in timezone must have 2 digits."},
        {"2008-05-19T12:00:00+2x", "Illegal input format. Hours in timezone must have 2 digits."},
        {"2008-05-19T12:00:00+02-00", "Expected ':' after hh (hours) in timezone."},
        {"2008-05-19T12:00:00+02:0", "Illegal input format. Minutes in timezone must have 2 digits."},
        {"2008-05-19T12:00:00+02:000", "Input too long."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            DateTime::parse(c.text);
            ADD_FAILURE() << "no exception";
        } catch (const TimeException& e) {
            EXPECT_EQ(e.code(), TM_INPUT);
            EXPECT_EQ(e.text(), c.message);
        }
    }
}

TEST_F(DateTimeTest, OutOfRangeInstantsThrowAndLeaveTheObject)
{
    const char* const outside[] = {"2038-01-19T03:14:08Z", "2038-05-01T00:00:00Z",
                                   "1970-01-01T00:30:00+01:00"};
    for (const char* text : outside) {
        SCOPED_TRACE(text);
        try {
            DateTime::parse(text);
            ADD_FAILURE() << "no exception";
        } catch (const TimeException& e) {
            EXPECT_EQ(e.code(), TM_DATETIME);
            EXPECT_EQ(e.text(), "");
        }
    }
    DateTime kept(1000);
    EXPECT_THROW(kept.set(2038, 1, 19, 3, 14, 8), TimeException);
    EXPECT_EQ(kept.seconds(), 1000);
    EXPECT_EQ(kept.zoneOffset(false), 120) << "offset untouched";

    EXPECT_THROW(TimeBase().setSeconds(-1), TimeException);
    DateTime unchecked(0);
    unchecked.setSeconds(-5);
    EXPECT_EQ(unchecked.seconds(), -5);
}

TEST_F(DateTimeTest, FieldsOfTheEpochAndMax)
{
    const DateFields epoch = DateTime(0).fields();
    EXPECT_EQ(epoch.year, 1970);
    EXPECT_EQ(epoch.weekday, 3) << "1970-01-01 was a Thursday";
    EXPECT_EQ(epoch.isLocal, 0);
    const DateFields max = DateTime(DateTime::MAX).fields();
    EXPECT_EQ(DateTime(DateTime::MAX).toString(true, false, false), "2038-01-19T03:14:07Z");
    EXPECT_EQ(max.weekday, 1) << "2038-01-19 is a Tuesday";
}

TEST_F(DateTimeTest, LocalPrintingAndOffsets)
{
    const DateTime instant(DateTime::parse("2008-05-19T06:55:23Z"));
    EXPECT_EQ(instant.toString(false, false, false), "2008-05-19T08:55:23");
    EXPECT_EQ(instant.toString(false, true, false), "20080519T085523");
    EXPECT_EQ(instant.toString(false, false, true), "2008-05-19T08:55:23+02:00");
    EXPECT_EQ(instant.toString(true, false, true), "2008-05-19T06:55:23Z") << "zone ignored for UTC";

    DateTime shifted = instant;
    shifted.setZoneOffset(-330);
    EXPECT_EQ(DateTime::defaultZoneOffset, -330);
    EXPECT_EQ(shifted.toString(false, false, true), "2008-05-19T01:25:23-05:30");
    EXPECT_EQ(instant.toString(false, false, false), "2008-05-19T01:25:23") << "default offset applies";

    DateTime local(0);
    local.setFields(2008, 5, 19, 8, 55, 23, false);
    EXPECT_EQ(DateTime::defaultZoneOffset, DateTime::UNSET) << "local fields clear the default";
    EXPECT_EQ(local.toString(true, false, false), "2008-05-19T06:55:23Z");

    DateFields near = DateTime(DateTime::MAX - 60).fields();
    EXPECT_EQ(DateTime::toLocalFields(near).year, 2038) << "local overflow becomes MAX";
    EXPECT_EQ(DateTime::toLocalFields(near).isLocal, 1);

    EXPECT_EQ(DateTime::timeText(instant.timeFields(), true, false), "065523Z");
}

TEST_F(DateTimeTest, AlignDown)
{
    struct Case {
        const char* instant;
        int32_t offset;
        int32_t span;
        const char* aligned;
        const char* why;
    };
    const Case cases[] = {
        {"2008-05-19T06:55:23Z", 120, 86400, "2008-05-18T22:00:00Z", "local midnight east of Greenwich"},
        {"2008-05-19T06:55:23Z", -300, 86400, "2008-05-19T05:00:00Z", "local midnight west of Greenwich"},
        {"2008-05-19T06:55:23Z", 0, 3600, "2008-05-19T06:00:00Z", "one hour"},
        {"2008-05-19T06:55:23Z", 330, 3600, "2008-05-19T06:30:00Z", "half-hour zone"},
        {"2008-05-19T06:55:23Z", 120, 1, "2008-05-19T06:55:23Z", "spans of a second change nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        DateTime t(DateTime::parse(c.instant));
        t.setZoneOffset(c.offset);
        DateTime::defaultZoneOffset = 77;
        t.alignDown(TimeSpan(c.span));
        EXPECT_EQ(t.toString(true, false, false), c.aligned);
        EXPECT_EQ(DateTime::defaultZoneOffset, 77) << "default restored";
    }
    DateTime platform(DateTime::parse("2008-05-19T06:55:23Z"));
    DateTime::defaultZoneOffset = DateTime::UNSET;
    platform.alignDown(TimeSpan(86400));
    EXPECT_EQ(platform.toString(true, false, false), "2008-05-18T22:00:00Z") << "the platform's zone";
}

TEST_F(DateTimeTest, SpansAndTimers)
{
    DateTime t(1000);
    EXPECT_EQ((t + TimeSpan(500)).seconds(), 1500);
    t += TimeSpan(-1000);
    EXPECT_EQ(t.seconds(), 0);
    t = DateTime(DateTime::MAX);
    t += TimeSpan(10);
    EXPECT_EQ(t.seconds(), DateTime::MAX) << "saturates instead of wrapping";

    Timer timer;
    DateTime later;
    later += TimeSpan(3600);
    timer.setDeadline(later);
    EXPECT_FALSE(timer.expired());
    DateTime past;
    past += TimeSpan(-5);
    timer.setDeadline(past);
    EXPECT_TRUE(timer.expired());

    // A deadline equal to the current second is not expired; once the clock passes it, it is.
    DateTime now;
    timer.setDeadline(now);
    const std::time_t second = std::time(nullptr);
    if (second == now.seconds()) {
        EXPECT_FALSE(timer.expired());
    }
    DateTime::waitSeconds(1);
    EXPECT_TRUE(timer.expired());
}
