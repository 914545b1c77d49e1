// ControlTextTest.cpp - the operator tool's text rules: its command line, the program request,
// marker meanings, replies, tables, forwarded records and log tails.
#include "SentinelControl/ControlText.h"
#include "Logger/LogRecord.h"
#include "Logger/MessageCatalogue.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <vector>

using namespace SentinelControl;

namespace {

using Words = std::vector<std::string>;

TEST(ControlArguments, CommandsOptionsAndErrors)
{
    struct Case {
        Words words;
        Command command;
        std::string tag;
        std::string program;
        std::string programArguments;
        bool error;
        const char* why;
    };
    const Case cases[] = {
        {{"die"}, Command::Die, "", "", "", false, "a bare command"},
        {{"--tag", "Other", "reconfig"}, Command::Reconfig, "Other", "", "", false, "option before"},
        {{"status-check", "--tag=Other"},
         Command::StatusCheck,
         "Other",
         "",
         "",
         false,
         "option after, with ="},
        {{"run", "C:\\bin\\p.exe", "-a", "b c", "--tag", "X"},
         Command::Run,
         "",
         "C:\\bin\\p.exe",
         "-a \"b c\" --tag X",
         false,
         "words after the program are the program's, quoted where they hold blanks"},
        {{"--tag", "X", "run", "p.exe"}, Command::Run, "X", "p.exe", "", false, "tag before run"},
        {{"run"}, Command::Run, "", "", "", true, "run without a program"},
        {{"run", "a|b.exe"}, Command::Run, "", "a|b.exe", "", true, "a | would split the request"},
        {{"run", "p.exe", "x|y"}, Command::Run, "", "p.exe", "x|y", true, "a | in the arguments"},
        {{}, Command::None, "", "", "", true, "nothing"},
        {{"die", "now"}, Command::Die, "", "", "", true, "a second word"},
        {{"frobnicate"}, Command::None, "", "", "", true, "unknown command"},
        {{"die", "--force"}, Command::Die, "", "", "", true, "unknown option"},
        {{"die", "--tag"}, Command::Die, "", "", "", true, "option without its value"},
        {{"--tag", "a b", "die"}, Command::Die, "a b", "", "", true, "a tag with a blank"},
        {{"--tag", "a\\b", "die"}, Command::Die, "a\\b", "", "", true, "a tag with a separator"},
        {{"--help", "frobnicate"}, Command::Help, "", "", "", false, "help wins"},
        {{"help"}, Command::Help, "", "", "", false, "help as a command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const Arguments args = parseArguments(c.words);
        EXPECT_EQ(args.command, c.command);
        EXPECT_EQ(args.tag, c.tag);
        EXPECT_EQ(args.program, c.program);
        if (!c.error) {
            EXPECT_EQ(args.programArguments, c.programArguments);
        }
        EXPECT_EQ(!args.error.empty(), c.error) << args.error;
    }
}

TEST(ControlArguments, NumbersAndFiles)
{
    const Arguments listen = parseArguments({"listen", "--count", "3", "--seconds=20", "-c", "C:\\x.conf"});
    EXPECT_TRUE(listen.error.empty()) << listen.error;
    EXPECT_EQ(listen.count, 3u);
    EXPECT_EQ(listen.seconds, 20u);
    EXPECT_EQ(listen.configFile, "C:\\x.conf");

    const Arguments tail = parseArguments({"tail", "-n", "25", "-f", "D:\\log dir\\a.log", "--follow"});
    EXPECT_TRUE(tail.error.empty()) << tail.error;
    EXPECT_EQ(tail.lines, 25u);
    EXPECT_EQ(tail.logFile, "D:\\log dir\\a.log");
    EXPECT_TRUE(tail.follow);

    const Arguments defaults = parseArguments({"status"});
    EXPECT_EQ(defaults.waitMs, 2000u);
    EXPECT_EQ(defaults.lines, 10u);
    EXPECT_EQ(defaults.seconds, 0u) << "no time limit unless asked";

    for (const char* bad : {"x", "-1", "+1", " 1", "1x", "", "4294967296", "99999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseArguments({"listen", "--count", bad}).error.empty());
    }
    uint32_t value = 7;
    EXPECT_TRUE(parseCount("4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(parseCount("0", value));
    EXPECT_EQ(value, 0u);
}

TEST(ControlArguments, HelpNamesEveryCommandAndExitCode)
{
    const std::string help = helpText();
    for (const char* command :
         {"die",          "reconfig", "status-check", "run PROGRAM", "pause",      "resume", "stop",
          "clear-stop",   "markers",  "status",       "listen",      "tail",       "--tag",  "--marker-key",
          "-c, --config", "--count",  "--seconds",    "--follow",    "-f, --file", "--wait"}) {
        EXPECT_NE(help.find(std::string("  ") + command), std::string::npos) << command;
    }
    for (int code = EXIT_OK; code <= EXIT_TIMED_OUT; ++code) {
        EXPECT_NE(help.find("\n  " + std::to_string(code) + "  "), std::string::npos) << code;
    }
}

TEST(ControlText, ProgramRequestsTheWatchdogAccepts)
{
    struct Case {
        std::string program;
        std::string arguments;
        std::string request;
        const char* why;
    };
    const Case cases[] = {
        {"C:\\bin\\p.exe", "-x 1", "C:\\bin\\p.exe|-x 1", "path and arguments"},
        {"p.exe", "", "p.exe| ", "no arguments: a trailing | would leave one part"},
        {"", "x", "", "no program"},
        {"a|b", "", "", "| in the program"},
        {"p", "x|y", "", "| in the arguments"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(runRequest(c.program, c.arguments), c.request);
    }
    EXPECT_EQ(joinProgramArguments({"a", "", "b c", "d\te"}), "a \"\" \"b c\" \"d\te\"");
}

TEST(ControlText, ProgramArgumentsReachTheProgramAsTyped)
{
    // The started program splits its argument text by the C runtime's rules: a double quote
    // inside a word must be escaped, and the backslashes before a closing quote doubled, or the
    // program gets other words than the operator typed.
    struct Case {
        Words words;
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {{"say \"hi\""}, "\"say \\\"hi\\\"\"", "quotes inside a quoted word"},
        {{"a\"b"}, "\"a\\\"b\"", "a quote in a word without blanks"},
        {{"C:\\a dir\\"}, "\"C:\\a dir\\\\\"", "a trailing backslash before the closing quote"},
        {{"C:\\plain\\"}, "C:\\plain\\", "backslashes of an unquoted word stay as they are"},
        {{"x\\\"y"}, "\"x\\\\\\\"y\"", "backslashes right before a quote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(joinProgramArguments(c.words), c.text);
    }
}

TEST(ControlText, MarkerKeysAndMeanings)
{
    EXPECT_EQ(markerKeyForVersion(0), "SOFTWARE\\Vorlix\\Resources");
    EXPECT_EQ(markerKeyForVersion(53), "SOFTWARE\\Vorlix\\Resources");
    EXPECT_EQ(markerKeyForVersion(54), "SOFTWARE\\Vorlix\\Resources\\Recorder");

    struct Case {
        int result;
        int32_t value;
        std::string valueText;
        std::string machine;
        std::string instance;
    };
    const Case cases[] = {
        {0, 1, "1", "watchdogs run", "application checks run"},
        {0, 2, "2", "watchdogs stop (stop requested)", "application checks suspended"},
        {0, 3, "3", "watchdogs run", "watchdog stopped"},
        {0, 0, "0", "watchdogs run", "application checks suspended"},
        {2, 0, "missing", "watchdogs stop",
         "no watchdog started since; a running one re-creates it and stops"},
        {3, 0, "not a number", "unreadable; watchdogs run", "unreadable; application checks suspended"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.valueText + " " + std::to_string(c.value));
        EXPECT_EQ(markerValueText(c.result, c.value), c.valueText);
        EXPECT_EQ(describeMachineMarker(c.result, c.value), c.machine);
        EXPECT_EQ(describeInstanceMarker(c.result, c.value), c.instance);
    }
}

TEST(ControlText, ProcessInformationReplies)
{
    struct Case {
        std::string text;
        bool usable;
        uint32_t process;
        uint32_t thread;
    };
    const Case cases[] = {
        {"1234,5678", true, 1234, 5678},
        {" 12, 34", true, 12, 34},
        {"1234", false, 0, 0},
        {"0,5", false, 0, 0},
        {"5,0", false, 0, 0},
        {"abc,1", false, 0, 0},
        {"", false, 0, 0},
        {"-4,5", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t process = 999;
        uint32_t thread = 999;
        EXPECT_EQ(parseProcessInfo(c.text, process, thread), c.usable);
        if (c.usable) {
            EXPECT_EQ(process, c.process);
            EXPECT_EQ(thread, c.thread);
        } else {
            EXPECT_EQ(process, 999u) << "an unusable reply leaves the outputs";
        }
    }
}

TEST(ControlText, TableColumns)
{
    EXPECT_EQ(formatTable({{"NAME", "PID"}, {"recorder", "12"}, {"a", "12345"}}), "NAME      PID\n"
                                                                                  "--------  -----\n"
                                                                                  "recorder  12\n"
                                                                                  "a         12345\n");
    EXPECT_EQ(formatTable({{"A"}}), "A\n-\n");
    EXPECT_EQ(formatTable({}), "");
}

TEST(ControlText, ForwardedRecordsAsLines)
{
    TestSupport::TempDir dir;
    CreateDirectoryA(dir.file("LogMessages").c_str(), nullptr);
    TestSupport::writeBytes(dir.file("LogMessages\\sentinel.mess"), "7: Application \"%s\" stopped.\n");
    Vorlix::MessageCatalogue catalogue;
    ASSERT_TRUE(catalogue.load(dir.path + "\\", "all").ok);

    Vorlix::LogRecord warning;
    warning.kind = Vorlix::RECORD_CATALOGUED;
    warning.application = 20;
    warning.module = 23;
    warning.time = Vorlix::DateTime(1200000000);
    warning.severity = Vorlix::SEV_WARNING;
    warning.messageNumber = 7;
    warning.text = "srecorder\x1A";
    const std::string text = Vorlix::serialiseRecord(warning);

    const std::string resolved = formatForwardedRecord(text, &catalogue);
    EXPECT_EQ(resolved.rfind("Sentinel: WARNING  ", 0), 0u) << resolved;
    EXPECT_NE(resolved.find(" (20.23.07) Application \"recorder\" stopped."), std::string::npos) << resolved;
    EXPECT_EQ(resolved.find('\n'), std::string::npos);

    const std::string unresolved = formatForwardedRecord(text, nullptr);
    EXPECT_NE(unresolved.find("(20.23.07) (Message not found.) Parameters: recorder  "), std::string::npos)
        << unresolved;

    Vorlix::LogRecord debug;
    debug.application = 20;
    debug.module = 6;
    debug.time = Vorlix::DateTime(1200000000);
    debug.debugLevel = 3;
    debug.text = "two\r\nlines";
    const std::string debugLine = formatForwardedRecord(Vorlix::serialiseRecord(debug), nullptr);
    EXPECT_EQ(debugLine.rfind("Sentinel: debug-3  ", 0), 0u) << debugLine;
    EXPECT_NE(debugLine.find("(20.06)    two  lines"), std::string::npos) << "line ends become blanks";

    struct Bad {
        std::string text;
        const char* why;
    };
    const Bad bad[] = {
        {"Vorlix\x1CNOPE\x1C", "kind neither LOG nor DEBUG"},
        {"vorlix\x1C"
         "DEBUG\x1C"
         "1\x1C"
         "2\x1C"
         "3\x1C"
         "4\x1Cx\x1C",
         "addressee in lower case"},
        {"Vorlix\x1C"
         "DEBUG\x1C"
         "1\x1C"
         "2\x1C-5\x1C"
         "4\x1Cx\x1C",
         "negative time"},
        {"", "empty"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.why);
        EXPECT_EQ(formatForwardedRecord(b.text, &catalogue), "unreadable record: " + visible(b.text));
    }
    EXPECT_EQ(visible("a\x1B"
                      "b\x01"),
              "a<1B>b<01>");
}

TEST(ControlText, LastLines)
{
    struct Case {
        std::string text;
        size_t count;
        std::vector<std::string> lines;
        const char* why;
    };
    const Case cases[] = {
        {"a\nb\nc\n", 2, {"b", "c"}, "the last two"},
        {"a\r\nb", 5, {"a", "b"}, "CR LF ends, and a last line without an end"},
        {"", 3, {}, "empty text"},
        {"a\n\nb\n", 2, {"", "b"}, "empty lines count"},
        {"a\nb\n", 0, {}, "none asked"},
        {"\n", 1, {""}, "one empty line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(lastLines(c.text, c.count), c.lines);
    }
}

} // namespace
