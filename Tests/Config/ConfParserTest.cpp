// The parser and buildTree: object trees from configuration texts, syntax errors with their line,
// and the records a build leaves in the log.
#include "Config/ConfParser.h"

#include "ConfTestSupport.h"

#include <chrono>

using namespace TestSupport;

namespace {

class ConfParser : public ConfFixture {};

const char* const kSample = "Vorlix() = \"\" {\n"
                            "    directories() = \"\" {\n"
                            "        conf(DirName) = \"C:\\\\data\\\\conf\" {}\n"
                            "    }\n"
                            "}\n";

TEST_F(ConfParser, BuildsTreesFromValidTexts)
{
    struct Case {
        std::string source;
        std::string tree;
        const char* why;
    };
    const Case cases[] = {
        {kSample, "Root()[]{Vorlix()[]{directories()[]{conf(DirName)[C:\\data\\conf]{}}}}",
         "the sample file; two backslashes become one"},
        {"Vorlix()=\"\"{directories()=\"\"{conf(DirName)=\"C:\\\\data\\\\conf\"{}}}",
         "Root()[]{Vorlix()[]{directories()[]{conf(DirName)[C:\\data\\conf]{}}}}", "the same on one line"},
        {"  \n\t\n\n", "Root()[]{}", "only blanks and line feeds"},
        {"", "Root()[]{}", "an empty file"},
        {"a()=x{} b(String)=y{}", "Root()[]{a()[x]{}b(String)[y]{}}",
         "two objects on one line, in file order"},
        {"a()=x", "Root()[]{}", "an object whose value meets the end of the file is never attached"},
        {"a()=x{ b()=y{}", "Root()[]{a()[x]{b()[y]{}}}", "a block that lacks its closing brace is attached"},
        {"a()=x{ b()=y{ c()=z{", "Root()[]{a()[x]{b()[y]{c()[z]{}}}}", "several open blocks at the end"},
        {"a()=x{} } b()=y{}", "Root()[]{a()[x]{}}", "a closing brace at the top level ends parsing"},
        {"a(String)=\"\"{}", "Root()[]{a(String)[]{}}", "an empty value is written as a pair of quotes"},
        {"a(String)='v w'{}", "Root()[]{a(String)[v w]{}}",
         "a value in single quotes is stored without them"},
        {"a(String)=\"v{}", "Root()[]{}", "an unclosed quote swallows the rest of the file"},
        {"a(String)=\"a\\\"b\"{}", "Root()[]{a(String)[a\\b]{}}", "backslash-quote keeps the backslash only"},
        {"a(String)=a\\{}", "Root()[]{a(String)[a\\]{}}", "a backslash at the very end of a value stays"},
        {"a(String)=\"C:\\d\"{}", "Root()[]{a(String)[C:\\]{}}",
         "a single backslash drops the byte after it"},
        {"a(String)=\"'q'\"{}", "Root()[]{a(String)['q']{}}", "only one pair of quotes is removed"},
        {"a()=x{\r\n  b()=y{}\r\n}\r\nc()=z{}\r\n", "Root()[]{a()[x]{b()[y]{}}c()[z]{}}",
         "CR LF line ends parse like LF"},
        {"a\x80()=x{}", "Root()[]{a()[x]{}}", "a high byte outside quotes ends the name and is dropped"},
        {"a(String)=\"\x80\"{}", "Root()[]{a(String)[\x80]{}}", "inside quotes a high byte is kept"},
        {"\"n\"()=x{}", "Root()[]{\"n\"()[x]{}}", "a quoted name keeps its quotes"},
        {"a#b()=x{}", "Root()[]{a#b()[x]{}}", "a # inside a word belongs to the name"},
        {"a\n(\nString\n)\n=\nv\n{\n}", "Root()[]{a(String)[v]{}}", "line feeds carry no meaning"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        recorder->clear();
        const std::string path = build(c.source);
        EXPECT_EQ(tree(), c.tree);
        const std::vector<std::string> expected = {
            "D2 ConfReader: Building DOM tree from file \"" + path + "\"...",
            "D2 ConfReader: DOM tree built.",
        };
        EXPECT_EQ(log(), expected);
    }
}

TEST_F(ConfParser, ReportsEachMissingTokenWithItsLine)
{
    struct Case {
        std::string source;
        const char* text;
        int line;
        std::string tree;
        const char* why;
    };
    const Case cases[] = {
        {"a b", "ConfReader: Missing '('.", 1, "Root()[]{}", "a name without parentheses"},
        {"a\n\n  b", "ConfReader: Missing '('.", 3, "Root()[]{}", "the line is the offending token's"},
        {"a(String\n\n\"q\"", "ConfReader: Missing ')'.", 3, "Root()[]{}",
         "a quoted string instead of ')': the line of the quoted string"},
        {"a()x", "ConfReader: Missing '='.", 1, "Root()[]{}", "no equals sign"},
        {"a()=x y", "ConfReader: Missing '{'.", 1, "Root()[]{}", "a second value"},
        {"a()={}", "ConfReader: Missing '{'.", 1, "Root()[]{}", "a missing value makes '{' the value"},
        {"ok()=1{}\n#c\na()=x{}", "ConfReader: Missing '('.", 3, "Root()[]{ok()[1]{}}",
         "a comment becomes a name; the objects before the error stay"},
        {"top()=1{\n inner()=2{}\n bad(String x", "ConfReader: Missing ')'.", 3, "Root()[]{}",
         "objects nested in an unfinished object are lost with it"},
        {"a()=x{}\r\nb()\r\n=\r\nv\r\nw", "ConfReader: Missing '{'.", 5, "Root()[]{a()[x]{}}",
         "CR LF lines are counted by their line feeds"},
        {std::string(100000, '{'), "ConfReader: Missing '('.", 1, "Root()[]{}",
         "a file of opening braces: the first is a name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        recorder->clear();
        const std::string path = build(c.source);
        EXPECT_EQ(tree(), c.tree);
        std::vector<std::string> lines = log();
        // The build's first record, then the three of the report: the parser's text, catalogue
        // message 2 and the full text with the line.
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], "D2 ConfReader: Building DOM tree from file \"" + path + "\"...");
        EXPECT_EQ(lines[1], std::string("D1 ") + c.text);
        EXPECT_EQ(lines[2], "ERROR 2 [" + path + "|1.1]");
        EXPECT_EQ(maskTraceLines(lines[3]),
                  "D1 ConfReader: Configuration: Error in conf file. (Code: 1.1)\r\n"
                  "  >  ConfParser.(#) - ConfReader.(#), line " +
                      std::to_string(c.line) + ".");
    }
}

TEST_F(ConfParser, BoundsTheNestingDepth)
{
    auto nested = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i) {
            text += "n()=x{\n";
        }
        return text;
    };
    build(nested(Vorlix::kMaxConfNesting));
    int depth = 0;
    for (const Vorlix::ConfNode* node = reader->root()->firstChild(); node != nullptr;
         node = node->firstChild()) {
        ++depth;
    }
    EXPECT_EQ(depth, Vorlix::kMaxConfNesting) << "the deepest allowed nesting parses whole";

    recorder->clear();
    const std::string path = build(nested(Vorlix::kMaxConfNesting + 1));
    std::vector<std::string> lines = log();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "D1 ConfReader: Objects nested too deeply.");
    EXPECT_EQ(lines[2], "ERROR 2 [" + path + "|1.1]");
    EXPECT_NE(lines[3].find(", line " + std::to_string(Vorlix::kMaxConfNesting + 1) + "."), std::string::npos)
        << lines[3];
    EXPECT_EQ(tree(), "Root()[]{}");

    recorder->clear();
    build(nested(100000));
    lines = log();
    ASSERT_EQ(lines.size(), 4u) << "a hundred thousand open blocks end in a syntax error";
    EXPECT_EQ(lines[1], "D1 ConfReader: Objects nested too deeply.");
}

TEST_F(ConfParser, ReadsAndDropsLongSiblingChains)
{
    std::string text;
    const int count = 200000;
    for (int i = 0; i < count; ++i) {
        text += "o" + std::to_string(i) + "(Integer)=" + std::to_string(i) + "{}\n";
    }
    const auto start = std::chrono::steady_clock::now();
    build(text);
    int n = 0;
    const Vorlix::ConfNode* last = nullptr;
    for (const Vorlix::ConfNode* node = reader->root()->firstChild(); node != nullptr;
         node = node->nextSibling()) {
        last = node;
        ++n;
    }
    EXPECT_EQ(n, count);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->name(), "o" + std::to_string(count - 1));
    // Replacing the tree deletes the whole chain, and so does the reader's end.
    build("a()=1{}");
    EXPECT_EQ(tree(), "Root()[]{a()[1]{}}");
    build(text);
    reader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(ConfParser, KeepsOrReplacesTheTreeAcrossBuilds)
{
    build("first()=1{}", "one.conf");
    EXPECT_EQ(tree(), "Root()[]{first()[1]{}}");
    build("second()=2{}", "two.conf");
    EXPECT_EQ(tree(), "Root()[]{second()[2]{}}") << "a second build replaces the first tree";

    recorder->clear();
    const std::string missing = dir.file("missing.conf");
    reader->buildTree(missing);
    EXPECT_EQ(tree(), "Root()[]{second()[2]{}}") << "a file that cannot be read leaves the tree";
    const std::vector<std::string> lines = log();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "D2 ConfReader: Building DOM tree from file \"" + missing + "\"...");
    EXPECT_EQ(lines[1].rfind("ERROR 1 [" + missing + "|42.", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("D1 ConfReader: File: ", 0), 0u) << lines[2];
    EXPECT_NE(maskTraceLines(lines[2]).find("ConfReader.(#)"), std::string::npos)
        << "the reader adds its place";

    recorder->clear();
    reader->buildTree(dir.path);
    EXPECT_EQ(tree(), "Root()[]{second()[2]{}}") << "nor does a directory";
    EXPECT_EQ(log().size(), 3u);
}

// The directory reports only the low 32 bits of a file's size. A file a little past 4 GiB
// must not be read as its first few bytes and reported as a whole parse.
TEST_F(ConfParser, DoesNotParseTheHeadOfAFilePastFourGiBAsTheWholeFile)
{
    const std::string path = dir.file("huge.conf");
    {
        Vorlix::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        const std::string head = "a()=x{}";
        const std::string tail = "b()=y{}";
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr));
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(1) << 32; // sparse on the host: no 4 GiB is written
        ASSERT_TRUE(SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(WriteFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));
    }
    recorder->clear();
    reader->buildTree(path);
    const std::vector<std::string> lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back(), "D2 ConfReader: DOM tree built.")
        << "only the first 7 of 4294967303 bytes were parsed; tree: " << tree();
    EXPECT_NE(tree(), "Root()[]{a()[x]{}}");
}

TEST_F(ConfParser, LogsItsLifeCycle)
{
    reader.reset();
    EXPECT_EQ(log(),
              (std::vector<std::string>{"D1 ConfReader: Destroyed.",
                                        "D1 LoggerUnit: Destroyed logger for the Configuration module."}));
    recorder->clear();
    reader.reset(new Vorlix::ConfReader(dispatcherHandle));
    EXPECT_EQ(reader->root(), nullptr) << "no tree before the first build";
    EXPECT_EQ(log(), (std::vector<std::string>{"D1 LoggerUnit: Created logger for the Configuration module.",
                                               "D1 ConfReader: Created."}));

    // Without a dispatcher every record is dropped and the reader still works.
    Vorlix::ConfReader silent{Vorlix::CountedHandle<Vorlix::LogDispatcher>()};
    const std::string path = dir.file("quiet.conf");
    writeBytes(path, "a(Integer)=7{} b(");
    silent.buildTree(path);
    int32_t value = 0;
    EXPECT_EQ(silent.getInteger("a", value), 0);
    EXPECT_EQ(value, 7);
}

} // namespace
