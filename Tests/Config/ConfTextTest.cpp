// ConfTextTest.cpp - building a reader's tree from a text, and the look-ups on it, without files.
//
// Portable test code: runs under Wine and in the native sanitizer build.
#include "Config/ConfReader.h"

#include "RecordingDispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Vorlix;

namespace {

class ConfTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setDebugThreshold(5);
        setSeverityThreshold(0);
    }

    TestSupport::RecordingDispatcher* recorder = new TestSupport::RecordingDispatcher;
    CountedHandle<LogDispatcher> dispatcher{recorder};
    ConfReader reader{dispatcher};
};

} // namespace

TEST_F(ConfTextTest, TextBuildsTheTreeAndReferencesExpand)
{
    reader.buildTreeFromText("Vorlix() = \"\" {\n"
                             "  dir(DirName) = \"C:\\\\data\" {}\n"
                             "  log(DirName) = \"${Vorlix.dir}log\" {}\n"
                             "  n(Integer) = \" 42x\" {}\n"
                             "}\n",
                             "text.conf");
    std::string value;
    EXPECT_EQ(reader.getDirName("Vorlix.log", value), CONF_OK);
    EXPECT_EQ(value, "C:\\data\\log\\");
    int32_t number = 0;
    EXPECT_EQ(reader.getInteger("Vorlix.n", number), CONF_OK);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(reader.getValue("Vorlix.none", "String", value), CONF_NOT_FOUND);
}

TEST_F(ConfTextTest, SyntaxErrorNamesTheSourceAndKeepsCompleteObjects)
{
    reader.buildTreeFromText("a(String) = \"1\" {}\nb(String) \"2\" {}\n", "named.conf");
    std::string value;
    EXPECT_EQ(reader.getString("a", value, false, false), CONF_OK);
    EXPECT_EQ(reader.getString("b", value, false, false), CONF_NOT_FOUND);
    const std::vector<std::string> lines = recorder->lines();
    const auto missing = std::find(lines.begin(), lines.end(), "D1 ConfReader: Missing '='.");
    ASSERT_NE(missing, lines.end()) << ::testing::PrintToString(lines);
    ASSERT_NE(missing + 1, lines.end());
    EXPECT_EQ(*(missing + 1), "ERROR 2 [named.conf|1.1]");

    // A second text replaces the whole tree.
    reader.buildTreeFromText("b(String) = \"2\" {}", "second.conf");
    EXPECT_EQ(reader.getString("a", value, false, false), CONF_NOT_FOUND);
    EXPECT_EQ(reader.getString("b", value, false, false), CONF_OK);
    EXPECT_EQ(value, "2");
}
