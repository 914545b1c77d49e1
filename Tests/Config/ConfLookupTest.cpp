// Typed look-ups by dotted path: result codes, type words, separator normalisation, references
// and the bounds on their expansion.
#include "ConfTestSupport.h"

#include <climits>
#include <list>

using namespace TestSupport;
using Vorlix::ConfReader;

namespace {

std::string demoFile()
{
    std::string text = "demo() = \"\" {\n"
                       "  paths() = \"\" {\n"
                       "    root(DirName) = \"C:/data//x\" {}\n"
                       "    conf(DirName) = \"${demo.paths.root}conf\" {}\n"
                       "    text(String) = \"${demo.paths.conf}\" {}\n"
                       "    count(Integer) = \"12abc\" {}\n"
                       "  }\n"
                       "  yes(Bool) = true {}\n"
                       "  no(Bool) = false {}\n"
                       "  shout(Bool) = TRUE {}\n"
                       "  span(TimeSpan) = P1D2H3M4S {}\n"
                       "  bad(TimeSpan) = \"1 hour\" {}\n"
                       "  padded(String) = \"  Mixed Case \n\" {}\n"
                       "  empty(DirName) = \"\" {}\n"
                       "  ofEmpty(String) = \"<${demo.empty}>\" {}\n"
                       "  unc(DirName) = \"\\\\\\\\server//share/\" {}\n"
                       "  file(FileName) = \"C:/dir//sub\\\\\\\\f.txt\" {}\n"
                       "  several(String) = \"${demo.yes}-${demo.count}-${demo.yes}\" {}\n"
                       "  count(Integer) = 5 {}\n"
                       "  count(Integer) = 6 {}\n"
                       "  toContainer(String) = \"a${demo}b\" {}\n"
                       "  toMissing(String) = \"a${demo.none}b\" {}\n"
                       "  open(String) = \"abc${x\" {}\n"
                       "  openAfter(String) = \"${demo.yes}${demo.no\" {}\n"
                       "  viaRef(String) = \"${demo.open}\" {}\n"
                       "  self(String) = \"${demo.self}\" {}\n"
                       "  ping(String) = \"${demo.pong}\" {}\n"
                       "  pong(String) = \"${demo.ping}\" {}\n"
                       "  type(String) = \"(${demo.unc})\" {}\n"
                       "  big(String) = \"" +
                       std::string(40000, 'b') +
                       "\" {}\n"
                       "  twice(String) = \"${demo.big}${demo.big}\" {}\n";
    // d0 refers twice to d1, d1 twice to d2, ...: the expansion doubles at each level.
    for (int i = 0; i < 24; ++i) {
        text += "  d" + std::to_string(i) + "(String) = \"${demo.d" + std::to_string(i + 1) + "}${demo.d" +
                std::to_string(i + 1) + "}\" {}\n";
    }
    text += "  d24(String) = x {}\n"
            "}\n";
    return text;
}

class ConfLookup : public ConfFixture {
protected:
    void SetUp() override
    {
        ConfFixture::SetUp();
        build(demoFile());
        recorder->clear();
    }
};

TEST_F(ConfLookup, AnswersEveryResultCode)
{
    struct Case {
        const char* getter;
        const char* path;
        int32_t code;
        std::string output;
        const char* why;
    };
    const Case cases[] = {
        {"DirName", "demo.paths.root", 0, "C:\\data\\x\\", "separators collapsed, final backslash added"},
        {"DirName", "demo.paths.conf", 0, "C:\\data\\x\\conf\\", "a referenced DirName gets its separator"},
        {"String", "demo.paths.text", 0, "C:/data//x\\conf\\",
         "nested references; a String is not normalised"},
        {"Integer", "demo.paths.count", 0, "12", "the leading number"},
        {"Integer", "demo.count", 0, "5", "the first of two objects of one name"},
        {"Bool", "demo.yes", 0, "true", "true"},
        {"Bool", "demo.no", 0, "false", "false"},
        {"TimeSpan", "demo.span", 0, "1d2h3m4s", "a duration text"},
        {"String", "demo.padded", 0, "Mixed Case", "trimmed at both ends, line feed included"},
        {"DirName", "demo.empty", 0, "", "an empty DirName stays empty"},
        {"String", "demo.ofEmpty", 0, "<\\>", "an empty referenced DirName becomes one backslash"},
        {"DirName", "demo.unc", 0, "\\\\server\\share\\", "a leading pair of backslashes survives"},
        {"FileName", "demo.file", 0, "C:\\dir\\sub\\f.txt", "a FileName gets no final separator"},
        {"String", "demo.several", 0, "true-5-true", "several references, raw values of any type"},
        {"String", "demo.type", 0, "(\\\\server//share/)", "a DirName already ending in a separator"},
        {"String", "demo", 1, "", "a container has no value"},
        {"String", "demo.paths", 1, "", "nor has a nested container"},
        {"String", "demo.toContainer", 1, "a${demo}b", "a reference to a container"},
        {"String", "demo.nothing", 2, "", "no such object"},
        {"String", "", 2, "", "an empty path"},
        {"String", "demo..paths", 2, "", "an empty name matches nothing"},
        {"String", "Demo", 2, "", "names are case-sensitive"},
        {"String", "demo.toMissing", 2, "a${demo.none}b", "a reference to a missing object"},
        {"String", "demo.paths.count", 3, "", "an Integer asked for as a String"},
        {"String", "demo.span", 3, "", "a TimeSpan asked for as a String"},
        {"Bool", "demo.shout", 4, "", "Bool values are case-sensitive"},
        {"TimeSpan", "demo.bad", 5, "", "not a duration text"},
        {"String", "demo.open", 6, "abc${x", "an unterminated reference"},
        {"String", "demo.openAfter", 6, "true${demo.no", "unterminated after a good one"},
        {"String", "demo.viaRef", 6, "abc${x", "an unterminated reference brought in by another"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.why) + " (" + c.path + ")");
        const std::string getter = c.getter;
        std::string output;
        int32_t code = -1;
        if (getter == "String") {
            code = reader->getString(c.path, output, true, false);
        } else if (getter == "DirName") {
            code = reader->getDirName(c.path, output);
        } else if (getter == "FileName") {
            code = reader->getValue(c.path, "FileName", output);
        } else if (getter == "Integer") {
            int32_t number = -777;
            code = reader->getInteger(c.path, number);
            output = code == 0 ? std::to_string(number) : "";
            if (code != 0) {
                EXPECT_EQ(number, -777) << "a failed look-up leaves the number";
            }
        } else if (getter == "Bool") {
            bool flag = false;
            code = reader->getBool(c.path, flag);
            output = code == 0 ? (flag ? "true" : "false") : "";
        } else if (getter == "TimeSpan") {
            Vorlix::TimeSpanFields fields;
            fields.days = -1;
            code = reader->getTimeSpan(c.path, fields);
            if (code == 0) {
                output = std::to_string(fields.days) + "d" + std::to_string(fields.hours) + "h" +
                         std::to_string(fields.minutes) + "m" + std::to_string(fields.seconds) + "s";
            }
        }
        EXPECT_EQ(code, c.code);
        if (code != 0 && (c.code == 1 || c.code == 2 || c.code == 6) && !c.output.empty()) {
            EXPECT_EQ(output, c.output) << "the partial result";
        } else if (c.code == 0) {
            EXPECT_EQ(output, c.output);
        }
    }
}

TEST_F(ConfLookup, StringFlagsTrimAndLowerTheValue)
{
    std::string out;
    ASSERT_EQ(reader->getString("demo.padded", out, false, false), 0);
    EXPECT_EQ(out, "  Mixed Case \n");
    ASSERT_EQ(reader->getString("demo.padded", out, false, true), 0);
    EXPECT_EQ(out, "  mixed case \n");
    ASSERT_EQ(reader->getString("demo.padded", out, true, true), 0);
    EXPECT_EQ(out, "mixed case");
}

TEST_F(ConfLookup, LogsEachStepOfALookUp)
{
    struct Case {
        const char* type;
        const char* path;
        std::vector<std::string> log;
        const char* why;
    };
    const Case cases[] = {
        {"DirName",
         "demo.paths.conf",
         {"D5 ConfReader: Getting DirName demo.paths.conf...",
          "D5 ConfReader: Got raw value \"${demo.paths.root}conf\".",
          "D5 ConfReader: Reference \"demo.paths.root\" = \"C:/data//x\".",
          "D5 ConfReader: Got final value \"C:\\data\\x\\conf\\\"."},
         "found, with a reference"},
        {"String",
         "demo.nothing",
         {"D5 ConfReader: Getting String demo.nothing...", "D5 ConfReader: Not found."},
         "not found"},
        {"String",
         "demo.paths",
         {"D5 ConfReader: Getting String demo.paths...", "D5 ConfReader: Found, but has no value."},
         "no value"},
        {"String",
         "demo.paths.count",
         {"D5 ConfReader: Getting String demo.paths.count...",
          "D1 ConfReader: Found, but type is \"Integer\", not \"String\"."},
         "type mismatch, at level 1"},
        {"String",
         "demo.toMissing",
         {"D5 ConfReader: Getting String demo.toMissing...",
          "D5 ConfReader: Got raw value \"a${demo.none}b\".",
          "D5 ConfReader: Found, but reference inside value was not."},
         "missing reference"},
        {"String",
         "demo.toContainer",
         {"D5 ConfReader: Getting String demo.toContainer...", "D5 ConfReader: Got raw value \"a${demo}b\".",
          "D5 ConfReader: Found, but reference inside value didn't have a value."},
         "untyped reference"},
        {"String",
         "demo.open",
         {"D5 ConfReader: Getting String demo.open...", "D5 ConfReader: Got raw value \"abc${x\".",
          "ERROR 3 [demo.open]"},
         "unterminated reference: catalogue message 3 with the path"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        recorder->clear();
        std::string out;
        reader->getValue(c.path, c.type, out);
        EXPECT_EQ(log(), c.log);
    }
}

TEST_F(ConfLookup, BoundsReferenceExpansion)
{
    struct Case {
        const char* path;
        std::string lastLog;
        const char* why;
    };
    const std::string limits = std::to_string(Vorlix::kMaxReferenceExpansions);
    const Case cases[] = {
        {"demo.self", "D1 ConfReader: More than " + limits + " references to expand in \"demo.self\".",
         "a value that refers to itself"},
        {"demo.ping", "D1 ConfReader: More than " + limits + " references to expand in \"demo.ping\".",
         "two values that refer to each other"},
        {"demo.d0", "D1 ConfReader: More than " + limits + " references to expand in \"demo.d0\".",
         "references that double at each level"},
        {"demo.twice",
         "D1 ConfReader: Value of \"demo.twice\" grows past 65536 bytes through its references.",
         "a value that grows too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        recorder->clear();
        std::string out;
        EXPECT_EQ(reader->getString(c.path, out, false, false), 6);
        const std::vector<std::string> lines = log();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.lastLog);
        int levelOne = 0;
        for (const auto& line : lines) {
            levelOne += line.rfind("D1 ", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(levelOne, 1) << "one line says why";
        EXPECT_LE(out.size(), Vorlix::kMaxExpandedLength);
    }
    std::string out;
    ASSERT_EQ(reader->getString("demo.d20", out, false, false), 0) << "sixteen copies are fine";
    EXPECT_EQ(out, std::string(16, 'x'));
    ASSERT_EQ(reader->getString("demo.big", out, false, false), 0);
    EXPECT_EQ(out.size(), 40000u) << "a long value without references is not limited";
}

TEST(ConfInteger, ReadsTheLeadingNumberClampedTo32Bits)
{
    struct Case {
        const char* text;
        int32_t value;
        const char* why;
    };
    const Case cases[] = {
        {"12abc", 12, "digits up to the first other byte"},
        {"abc", 0, "no number"},
        {"", 0, "empty"},
        {"  \t-5", -5, "leading white space and a sign"},
        {"+7", 7, "a plus sign"},
        {"- 7", 0, "a sign must touch the digits"},
        {"2147483647", INT32_MAX, "the largest value"},
        {"2147483648", INT32_MAX, "one past it clamps"},
        {"-2147483648", INT32_MIN, "the smallest value"},
        {"-2147483649", INT32_MIN, "one below it clamps"},
        {"99999999999999999999999999", INT32_MAX, "far past the range"},
        {"-99999999999999999999999999", INT32_MIN, "far below the range"},
        {"0x1F", 0, "no hexadecimal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Vorlix::leadingInteger(c.text), c.value);
    }
}

TEST_F(ConfLookup, ListsSubObjectsInFileOrder)
{
    std::list<std::string> names = {"kept"};
    EXPECT_EQ(reader->getSubObjects("demo.paths", names), 0);
    EXPECT_EQ(names, (std::list<std::string>{"kept", "root", "conf", "text", "count"}))
        << "appended; the list is not cleared";
    EXPECT_EQ(log(), (std::vector<std::string>{"D5 ConfReader: Getting sub-objects of \"demo.paths\".",
                                               "D5 ConfReader: Found 5 sub-objects."}));

    recorder->clear();
    std::list<std::string> none;
    EXPECT_EQ(reader->getSubObjects("demo.paths.root", none), 0);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(log().back(), "D5 ConfReader: Found 0 sub-objects.");

    recorder->clear();
    EXPECT_EQ(reader->getSubObjects("demo.missing", none), 2);
    EXPECT_EQ(log().back(), "D5 ConfReader: None found.");

    EXPECT_NE(reader->findNode("demo.paths."), nullptr) << "a final full stop names the node before it";
    EXPECT_EQ(reader->findNode("demo.paths."), reader->findNode("demo.paths"));
    EXPECT_EQ(reader->findNode("."), nullptr);

    ConfReader empty{Vorlix::CountedHandle<Vorlix::LogDispatcher>()};
    std::string out = "untouched";
    EXPECT_EQ(empty.findNode("demo"), nullptr) << "a reader without a tree";
    EXPECT_EQ(empty.getString("demo", out, true, false), 2);
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(empty.getSubObjects("demo", none), 2);
}

} // namespace
