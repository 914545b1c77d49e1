#include "Time/TimeSpan.h"

#include "Foundation/Exception.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Vorlix;

TEST(TimeSpan, ParsesDurationText)
{
    struct Case {
        const char* text;
        int32_t seconds;
        const char* why;
    };
    const Case cases[] = {
        {"P1D", 86400, "days"},
        {"PT1H30M", 5400, "hours and minutes"},
        {"P1DT2H3M4S", 93784, "all four"},
        {"PT10S", 10, "seconds"},
        {"P-1D", -86400, "negative"},
        {"P", 0, "P alone"},
        {"", 0, "empty"},
        {"P5M", 300, "M is minutes, not months"},
        {"P1Y", 0, "years are not recognised"},
        {"PT90M", 5400, "no range test"},
        {"PS10M", 600, "a designator without digits counts 0"},
        {"P1M1M", 60, "second occurrence ignored"},
        {"P3S2H", 7203, "any order"},
        {"P99999999999D", std::numeric_limits<int32_t>::max(), "huge number clamps"},
        {"P-30000D", std::numeric_limits<int32_t>::min(), "huge negative total clamps"},
        {"P25000D", std::numeric_limits<int32_t>::max(), "total past 32 bits clamps"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(TimeSpan(TimeSpan::parse(c.text)).seconds(), c.seconds) << c.text;
    }

    try {
        TimeSpan::parse("-P1D");
        FAIL() << "no exception";
    } catch (const TimeException& e) {
        EXPECT_EQ(e.code(), TM_INPUT);
        EXPECT_EQ(e.text(), "Expected 'P' in beginning of time span.");
    }
}

TEST(TimeSpan, SetPartsRanges)
{
    struct Case {
        int32_t d, h, m, s;
        int32_t code; // -1: accepted
        int32_t seconds;
    };
    const Case cases[] = {
        {0, 24, 0, 0, TM_HOURS, 0},
        {-1, 0, 0, 0, -1, -86400},
        {24855, 23, 59, 59, -1, std::numeric_limits<int32_t>::max()},
        {24856, 0, 0, 0, TM_DAYS, 0},
        {-24856, 0, 0, 0, TM_DAYS, 0},
        {0, -1, 0, 0, TM_HOURS, 0},
        {0, 0, 60, 0, TM_MINUTES, 0},
        {0, 0, 0, 60, TM_SECONDS, 0},
        {0, 0, 1, 0, -1, 60},
        {1, 99, 99, 99, TM_HOURS, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.d << "," << c.h << "," << c.m << "," << c.s);
        TimeSpan span(7);
        if (c.code < 0) {
            span.setParts(c.d, c.h, c.m, c.s);
            EXPECT_EQ(span.seconds(), c.seconds);
        } else {
            try {
                span.setParts(c.d, c.h, c.m, c.s);
                ADD_FAILURE() << "no exception";
            } catch (const TimeException& e) {
                EXPECT_EQ(e.code(), c.code);
                EXPECT_EQ(e.text(), "");
            }
            EXPECT_EQ(span.seconds(), 7) << "unchanged";
        }
    }
    EXPECT_TRUE(TimeSpan(3) <= TimeSpan(3));
    EXPECT_TRUE(TimeSpan(3) != TimeSpan(4));
}
