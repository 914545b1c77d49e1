#include "Sedrin/XmlObjects.h"

#include <gtest/gtest.h>

using XmlObjects::copyObject;
using XmlObjects::findValue;
using XmlObjects::npos;

namespace {

// A small tree with CR LF line ends: Top > a (value) > b (no value) > c (value), and a second
// object also named "c" under "other".
const std::string kTree = "<Object>\r\n"
                          "  <Name>Top</Name>\r\n"
                          "  <SubObjects>\r\n"
                          "    <Object>\r\n"
                          "      <Name>a</Name>\r\n"
                          "      <Value type=\"s\">A&amp;1</Value>\r\n"
                          "      <SubObjects>\r\n"
                          "        <Object>\r\n"
                          "          <Name>b</Name>\r\n"
                          "        </Object>\r\n"
                          "        <Object>\r\n"
                          "          <Name>c</Name>\r\n"
                          "          <Value>C</Value>\r\n"
                          "        </Object>\r\n"
                          "      </SubObjects>\r\n"
                          "    </Object>\r\n"
                          "    <Object>\r\n"
                          "      <Name>other</Name>\r\n"
                          "      <SubObjects>\r\n"
                          "        <Object>\r\n"
                          "          <Name>c</Name>\r\n"
                          "          <Value>second c</Value>\r\n"
                          "        </Object>\r\n"
                          "      </SubObjects>\r\n"
                          "    </Object>\r\n"
                          "  </SubObjects>\r\n"
                          "</Object>\r\n";

std::string valueAt(const std::string& content, size_t position)
{
    return position == npos ? "<none>"
                            : content.substr(position, content.find("</Value>", position) - position);
}

} // namespace

TEST(XmlObjects, FindValue)
{
    struct Case {
        const char* path;
        const char* value;
        const char* why;
    };
    const Case cases[] = {
        {"a", "A&amp;1", "value tag with attributes, entities untouched"},
        {"a.c", "C", "nested path"},
        {"other.c", "second c", "each name searched after the previous one"},
        {"c", "C", "first occurrence"},
        {"a.b", "C", "no value of its own: the next object's value"},
        {"Top", "A&amp;1", "the first value after the name"},
        {"missing", "<none>", "unknown name"},
        {"a.missing", "<none>", "unknown inner name"},
        {"other.c.x", "<none>", "nothing after the last name"},
        {"", "<none>", "empty path"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(valueAt(kTree, findValue(c.path, kTree, 0)), c.value) << c.path;
    }
    const size_t afterA = kTree.find("<Name>b</Name>");
    EXPECT_EQ(valueAt(kTree, findValue("a", kTree, afterA)), "<none>") << "searching starts at `from`";
    EXPECT_EQ(findValue("x", "<Name>x</Name><Value", 0), npos) << "unterminated value tag";
}

TEST(XmlObjects, CopyInsertsAfterTheParentsSubObjectsLine)
{
    std::string content = kTree;
    ASSERT_TRUE(copyObject("a.c", content, "Top.other.d"));
    const std::string block = "        <Object>\r\n"
                              "          <Name>d</Name>\r\n"
                              "          <Value>C</Value>\r\n"
                              "        </Object>\n";
    const size_t insertAt =
        kTree.find("<SubObjects>", kTree.find("other")) + std::string("<SubObjects>\r\n").size();
    EXPECT_EQ(content, kTree.substr(0, insertAt) + block + kTree.substr(insertAt))
        << "CR LF kept inside the block, a lone line feed after it";
}

TEST(XmlObjects, CopyTakesTheFirstOccurrenceAndSubObjects)
{
    std::string content = kTree;
    ASSERT_TRUE(copyObject("other.c", content, "Top.a.copy"));
    EXPECT_NE(content.find("<Name>copy</Name>\r\n          <Value>C</Value>"), std::string::npos)
        << "the first c in the file is copied, whatever its parents";

    content = kTree;
    ASSERT_TRUE(copyObject("a", content, "Top.a2"));
    const std::string expectedStart = "<Object>\r\n  <Name>Top</Name>\r\n  <SubObjects>\r\n    <Object>\r\n"
                                      "      <Name>a2</Name>\r\n";
    EXPECT_EQ(content.substr(0, expectedStart.size()), expectedStart);
    const size_t aStart = kTree.find("    <Object>\r\n      <Name>a</Name>");
    const size_t aEnd = kTree.find("\r\n    </Object>\r\n", aStart) + std::string("\r\n    </Object>").size();
    EXPECT_EQ(content.size(), kTree.size() + (aEnd - aStart) + 1 + 1)
        << "a's whole block, one longer name, one LF";

    content = "<Object><Name>x</Name></Object>";
    ASSERT_FALSE(copyObject("x", content, "y")) << "no <SubObjects> to insert under";
}

TEST(XmlObjects, CopyFailuresLeaveTheContent)
{
    struct Case {
        std::string content;
        const char* source;
        const char* destination;
        const char* why;
    };
    const Case cases[] = {
        {kTree, "nothing", "Top.a.x", "source missing"},
        {kTree, "a.c", "Top.nowhere.x", "destination parent missing"},
        {"<Name>x</Name>\n<SubObjects>\n", "x", "y", "no <Object> before the name"},
        {"<Object>\n<Name>x</Name>\n<SubObjects>\n<Object>\n</Object>\n", "x", "y", "unclosed object"},
        {"<Object>\n<Name>x</Name>\n<SubObjects>\n", "x", "y", "no closing tag at all"},
        {"</Object>\n<Object>\n<Name>x", "x", "y", "a name without an end"},
        {"<Object>\n<Name>x</Name></Object><SubObjects>", "x", "y", "no line feed after <SubObjects>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string content = c.content;
        EXPECT_FALSE(copyObject(c.source, content, c.destination));
        EXPECT_EQ(content, c.content);
    }
}

TEST(XmlObjects, SetValueReplacesOnlyTheValueText)
{
    struct Case {
        const char* path;
        const char* value;
        XmlObjects::SetResult result;
        std::string expected; // the whole content afterwards
    };
    const std::string replacedA = [] {
        std::string t = kTree;
        t.replace(t.find("A&amp;1"), 7, "<new> & \"v\"");
        return t;
    }();
    const std::string emptiedC = [] {
        std::string t = kTree;
        t.replace(t.find(">C<") + 1, 1, "");
        return t;
    }();
    const Case cases[] = {
        {"a", "<new> & \"v\"", XmlObjects::SetResult::Set, replacedA},
        {"a.c", "", XmlObjects::SetResult::Set, emptiedC},
        {"nothing", "x", XmlObjects::SetResult::NoValueTag, kTree},
    };
    for (const auto& c : cases) {
        std::string content = kTree;
        EXPECT_EQ(XmlObjects::setValue(c.path, content, c.value), c.result) << c.path;
        EXPECT_EQ(content, c.expected) << c.path;
    }
    std::string unterminated = "<Name>x</Name><Value>old";
    EXPECT_EQ(XmlObjects::setValue("x", unterminated, "new"), XmlObjects::SetResult::NoValueEnd);
    EXPECT_EQ(unterminated, "<Name>x</Name><Value>old");
}
