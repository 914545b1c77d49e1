// LogRecordTest.cpp - the log vocabulary, record texts, parameter substitution and log lines.
//
// Pure text logic; runs under Wine and in the native sanitizer build, with the zone fixed by TZ.
#include "Logger/LogRecord.h"
#include "Logger/LogVocabulary.h"
#include "Logger/ParameterList.h"

#include "Foundation/Exception.h"
#include "Foundation/StringUtils.h"

#include "FixedZone.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Vorlix;

namespace {

const auto* const fixedZone = ::testing::AddGlobalTestEnvironment(new TestSupport::FixedZone);

const std::string FS = "\x1C";
const std::string PS = "\x1A";
// 2008-03-02T14:03:09 local, 12:03:09Z.
constexpr int32_t kStamp = 1204459389;

LogRecord debugRecord(int32_t module, int32_t level, const std::string& text)
{
    LogRecord r;
    r.kind = RECORD_DEBUG;
    r.application = 20;
    r.module = module;
    r.time = DateTime(kStamp);
    r.debugLevel = level;
    r.text = text;
    return r;
}

LogRecord cataloguedRecord(int32_t module, int32_t severity, int32_t number, const std::string& parameters)
{
    LogRecord r;
    r.kind = RECORD_CATALOGUED;
    r.application = 20;
    r.module = module;
    r.time = DateTime(kStamp);
    r.severity = severity;
    r.messageNumber = number;
    r.text = parameters;
    return r;
}

TEST(LogVocabulary, NamesAndNumbers)
{
    EXPECT_EQ(severityName(0), "NOTICE");
    EXPECT_EQ(severityName(3), "CRITICAL");
    EXPECT_EQ(severityName(4), "FATAL");
    EXPECT_EQ(severityName(5), "");
    EXPECT_EQ(severityName(-1), "");
    EXPECT_EQ(severityNumber("WARNING"), 1);
    EXPECT_EQ(severityNumber("warning"), 6) << "severity names compare case-sensitively";
    EXPECT_EQ(severityNumber("NONE"), 5);
    EXPECT_EQ(severityNumber("NOTHING"), 5);
    EXPECT_EQ(severityNumber(""), 6);

    EXPECT_EQ(moduleName(0), "Core");
    EXPECT_EQ(moduleName(6), "IPC");
    EXPECT_EQ(moduleName(23), "Sentinel");
    EXPECT_EQ(moduleName(11), "<<Unknown>>");
    EXPECT_EQ(moduleName(40), "<<Unknown>>");
    EXPECT_EQ(moduleName(-1), "<<Unknown>>");
    EXPECT_EQ(moduleNumber("LOG"), 2);
    EXPECT_EQ(moduleNumber("logger"), 2);
    EXPECT_EQ(moduleNumber("Configuration"), 1);
    EXPECT_EQ(moduleNumber("config"), 46) << "a prefix is no module";
    EXPECT_EQ(moduleNumber(""), 46);
    EXPECT_EQ(moduleNumber("<<unknown>>"), 46);

    EXPECT_EQ(applicationName(20), "Sentinel");
    EXPECT_EQ(applicationName(4), "Sedrin");
    EXPECT_EQ(applicationName(0), "<<Unknown>>");
    EXPECT_EQ(applicationName(36), "<<Unknown>>");
    EXPECT_EQ(applicationNumber("SENTINEL"), 20);
    EXPECT_EQ(applicationNumber("nobody"), 0);
}

TEST(LogVocabulary, EveryNamedModuleAndApplicationLooksItselfUp)
{
    for (int32_t m = 0; m < 40; ++m) {
        const std::string name = moduleName(m);
        if (m == 11) {
            continue;
        }
        ASSERT_NE(name, "<<Unknown>>") << m;
        EXPECT_EQ(moduleNumber(name), m) << name;
    }
    for (int32_t m = 29; m < 40; ++m) {
        const std::string name = moduleName(m);
        EXPECT_EQ(name, [&] {
            std::string lower = name;
            for (char& c : lower) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            return lower;
        }()) << "display names from 29 on are lower case";
    }
    for (int32_t a = 1; a <= 35; ++a) {
        EXPECT_EQ(applicationNumber(applicationName(a)), a) << applicationName(a);
    }
}

TEST(ParameterList, Encoding)
{
    EXPECT_EQ(ParameterList().text(), "");
    EXPECT_EQ(ParameterList().add("abc").add(int32_t{-7}).add(uint32_t{4000000000u}).text(),
              "sabc" + PS + "n-7" + PS + "n4000000000" + PS);
    EXPECT_EQ(ParameterList().add("x" + PS).text(), "sx" + PS)
        << "a value ending in the separator closes itself";
    EXPECT_EQ(ParameterList().add(std::string()).text(), "s" + PS);
}

TEST(LogRecordText, SerialiseGolden)
{
    struct Case {
        LogRecord record;
        std::string text;
        const char* why;
    } cases[] = {
        {debugRecord(6, 4, "IPC: hello"),
         "Vorlix" + FS + "DEBUG" + FS + "20" + FS + "6" + FS + "1204459389" + FS + "4" + FS + "IPC: hello" +
             FS,
         "debug: level in the level field, no message number"},
        {cataloguedRecord(23, 1, 5, "sabc" + PS),
         "Vorlix" + FS + "LOG" + FS + "20" + FS + "23" + FS + "1204459389" + FS + "1" + FS + "sabc" + PS +
             FS + "5" + FS,
         "catalogued: severity, parameter text, message number last"},
        {cataloguedRecord(1, 2, 15, ""),
         "Vorlix" + FS + "LOG" + FS + "20" + FS + "1" + FS + "1204459389" + FS + "2" + FS + FS + "15" + FS,
         "no parameters: an empty text field"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(serialiseRecord(c.record), c.text);
        LogRecord back;
        ASSERT_TRUE(parseRecord(c.text, back));
        EXPECT_EQ(back.kind, c.record.kind);
        EXPECT_EQ(back.application, c.record.application);
        EXPECT_EQ(back.module, c.record.module);
        EXPECT_EQ(back.time.seconds(), kStamp);
        EXPECT_EQ(back.text, c.record.text);
        if (c.record.kind == RECORD_DEBUG) {
            EXPECT_EQ(back.debugLevel, c.record.debugLevel);
            EXPECT_EQ(back.messageNumber, 99999);
        } else {
            EXPECT_EQ(back.severity, c.record.severity);
            EXPECT_EQ(back.messageNumber, c.record.messageNumber);
        }
        EXPECT_EQ(isDebugRecordText(c.text), c.record.kind == RECORD_DEBUG);
    }
}

TEST(LogRecordText, ParseMalformed)
{
    struct Case {
        std::string text;
        bool isRecord;
        const char* why;
    } cases[] = {
        {"", false, "empty"},
        {"Vorlix " + FS + "LOG" + FS, false, "addressee with a trailing space"},
        {"vorlix" + FS + "LOG" + FS, false, "addressee in lower case"},
        {"Vorlix" + FS + "debug" + FS, false, "kind in lower case"},
        {"Vorlix" + FS + "INFO" + FS + "1" + FS, false, "unknown kind"},
        {"Vorlix", false, "addressee alone"},
        {"Vorlix" + FS + "LOG", true, "missing trailing fields come out empty"},
        {"Vorlix" + FS + "DEBUG" + FS + " 20x" + FS + "+6" + FS + "12" + FS + "abc" + FS + "t" + FS, true,
         "numbers read up to the first non-digit, no digits give 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        LogRecord r;
        EXPECT_EQ(parseRecord(c.text, r), c.isRecord);
    }
    LogRecord r;
    ASSERT_TRUE(parseRecord("Vorlix" + FS + "LOG", r));
    EXPECT_EQ(r.kind, RECORD_CATALOGUED);
    EXPECT_EQ(r.application, 0);
    EXPECT_EQ(r.time.seconds(), 0);
    EXPECT_EQ(r.messageNumber, 0);
    EXPECT_EQ(r.text, "");
    ASSERT_TRUE(parseRecord(
        "Vorlix" + FS + "DEBUG" + FS + " 20x" + FS + "+6" + FS + "12" + FS + "abc" + FS + "t" + FS, r));
    EXPECT_EQ(r.application, 20);
    EXPECT_EQ(r.module, 6);
    EXPECT_EQ(r.time.seconds(), 12);
    EXPECT_EQ(r.debugLevel, 0);
    EXPECT_EQ(r.text, "t");

    EXPECT_THROW(parseRecord("Vorlix" + FS + "LOG" + FS + "1" + FS + "1" + FS + "-5" + FS, r), TimeException)
        << "a negative time is no instant";
    EXPECT_FALSE(isDebugRecordText("Vorlix" + FS + "DEBU")) << "11 characters";
    EXPECT_FALSE(isDebugRecordText("")) << "nothing to read at position 7";
    EXPECT_TRUE(isDebugRecordText("Vorlix" + FS + "DEBUG")) << "12 characters";
    EXPECT_FALSE(isDebugRecordText("Vorlix" + FS + "LOG" + FS + "DEBUG" + FS));
}

TEST(LogRecordText, LeadingInteger)
{
    EXPECT_EQ(leadingInteger("  42abc"), 42);
    EXPECT_EQ(leadingInteger("-3"), -3);
    EXPECT_EQ(leadingInteger("+-3"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("99999999999"), 2147483647) << "clamped, not wrapped";
    EXPECT_EQ(leadingInteger("-99999999999"), -2147483647 - 1);
}

TEST(Substitution, Golden)
{
    const std::string s = ParameterList().add("abc").text();
    const std::string n = ParameterList().add(int32_t{7}).text();
    struct Case {
        std::string message;
        std::string parameters;
        std::string expected;
        const char* why;
    } cases[] = {
        {"plain", "", "plain", "no marks"},
        {"a %s b", s, "a abc b", "string for %s"},
        {"%i", n, "7", "number for %i"},
        {"%f", n, "7", "number for %f"},
        {"%s", n, "\\7\\", "number for %s, between backslashes"},
        {"%i", s, "\\abc\\", "string for %i"},
        {"%d", "e1.5" + PS, "1.5", "e for %d"},
        {"%d", n, "\\7\\", "number for %d"},
        {"%p", "p0x10" + PS, "0x10", "p for %p"},
        {"%x", s, "\\abc\\", "unknown conversion expects nothing"},
        {"100%%", s, "100%", "%% uses no parameter"},
        {"%%%s", s, "%abc", "%% then a mark"},
        {"%s %s", s, "abc <?}", "a missing parameter"},
        {"%s", s + n, "abc", "a surplus parameter is ignored"},
        {"end %", s, "end <?}", "a % at the end reads nothing past it"},
        {"%", "", "<?}", "a lone %"},
        {"%s%", s, "abc<?}", "a % at the end after the parameters ran out"},
        {"%s", "", "<?}", "no parameters at all"},
        {"%s|%s", "s" + PS + "sb" + PS, "|b", "an empty string value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string text = c.message;
        substituteParameters(text, c.parameters);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(LogLine, Golden)
{
    const std::string params = ParameterList().add("abc").add(int32_t{7}).text();
    struct Case {
        LogRecord record;
        bool found;
        std::string line;
        const char* why;
    } cases[] = {
        {debugRecord(6, 4, "IPC: hello"), false, "debug-4  2008-03-02T14:03:09 (20.06)    IPC: hello",
         "debug, module padded"},
        {debugRecord(123, 5, "x"), false, "debug-5  2008-03-02T14:03:09 (20.123)    x", "three-digit module"},
        {cataloguedRecord(23, 1, 5, "some text"), true, "WARNING  2008-03-02T14:03:09 (20.23.05) some text",
         "found catalogued text"},
        {cataloguedRecord(23, 3, 123, "t"), true, "CRITICAL 2008-03-02T14:03:09 (20.23.123) t",
         "eight-letter label"},
        {cataloguedRecord(23, 0, 1, ""), false,
         "NOTICE   2008-03-02T14:03:09 (20.23.01) (Message not found.)", "not found, no parameters"},
        {cataloguedRecord(1, 2, 15, params), false,
         "ERROR    2008-03-02T14:03:09 (20.01.15) (Message not found.) Parameters: abc  7  ",
         "not found, parameters"},
        {cataloguedRecord(1, 9, 15, ""), true, "         2008-03-02T14:03:09 (20.01.15) ",
         "severity outside the table"},
        {cataloguedRecord(1, 2, 99999, "t"), true, "ERROR    2008-03-02T14:03:09 (20.01)    t",
         "99999 prints like a debug record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(formatLogLine(c.record, c.found), c.line);
    }
}

} // namespace
