#include "Foundation/Exception.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Vorlix;

TEST(Exception, DescribeUsesCategoryMessageAndCodeText)
{
    struct Case {
        std::unique_ptr<Exception> exception;
        const char* expected;
        const char* why;
    };
    Case cases[] = {
        {std::make_unique<ConfigException>(CF_CONF), "Configuration: Error in conf file. (Code: 1.1)",
         "catalogued"},
        {std::make_unique<ConfigException>(7), "Configuration: Unknown error (Code: 1.7)",
         "past the catalogue"},
        {std::make_unique<ConfigException>(-3), "Configuration: Unknown error (Code: 1.-3)", "negative code"},
        {std::make_unique<TimeException>(12), "Time: Unknown error (Code: 4.12)", "time past catalogue"},
        {std::make_unique<TimeException>(TM_INPUT), "Time: Illegal input format. (Code: 4.10)",
         "time last row"},
        {std::make_unique<IPCException>(IC_CANNOT_SEND), "IPC: Unable to send message. (Code: 4.5)",
         "IPC shares number 4"},
        {std::make_unique<FileException>(FL_ERROR),
         "File: An error occured. (No changes made.) (Code: 42.27)", "file last row"},
        {std::make_unique<FileException>(FL_IS_LOCKED),
         "File: Someone else has locked the file. (Code: 42.18)", "file"},
        {std::make_unique<FileException>(28), "File: Unknown error (Code: 42.28)", "file past catalogue"},
        {std::make_unique<JobException>(JB_THREAD),
         "Job: Unable to access thread in external process. (Code: 43.8)", "job last row"},
        {std::make_unique<JobException>(9), "Job: Unknown error (Code: 43.9)", "job past catalogue"},
        {std::make_unique<Exception>(0), "Exception: Unknown error (Code: 45.0)", "base never has a message"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.exception->describe(), c.expected);
    }
}

TEST(Exception, FullTextAddsDetailAndTraceLines)
{
    ConfigException bare(CF_CONF);
    EXPECT_EQ(bare.fullText(), bare.describe());

    ConfigException detailOnly(CF_CONF, "line 3", "", 0);
    EXPECT_TRUE(detailOnly.trace().empty());
    EXPECT_EQ(detailOnly.fullText(), "Configuration: Error in conf file. (Code: 1.1)\r\n  >  (line 3)");

    ConfigException traced(CF_CONF, "", "C:\\src\\Config\\ConfReader.cpp", 231);
    traced.addLocation("Source/Config/ConfReader.cpp", 111);
    EXPECT_EQ(traced.fullText(),
              "Configuration: Error in conf file. (Code: 1.1)\r\n  >  ConfReader.(231) - ConfReader.(111)");

    FileException both(FL_READ, "x.txt", "a/FilePlain.cpp", 5);
    EXPECT_EQ(both.fullText(), "File: Unable to read. (Code: 42.10)\r\n  >  (x.txt)\r\n  >  FilePlain.(5)");
}

TEST(Exception, AddLocationSourceNames)
{
    struct Case {
        const char* path;
        const char* printed;
        const char* why;
    };
    const Case cases[] = {
        {"dir/Makefile", "Makefile(4)", "no full stop keeps the whole name"},
        {"dir/sub/", "(4)", "trailing slash gives an empty name"},
        {"a.b\\c.tar.gz", "c.tar.(4)", "only the last extension goes"},
        {"plain.h", "plain.(4)", "no directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Exception e(1);
        e.addLocation(c.path, 4);
        EXPECT_EQ(e.fullText(), std::string("Exception: Unknown error (Code: 45.1)\r\n  >  ") + c.printed);
    }

    Exception e(1);
    e.addLocation("", 9);
    EXPECT_TRUE(e.trace().empty());
}

TEST(Exception, ThrowAndRethrowRecordSites)
{
    try {
        try {
            VORLIX_THROW(TimeException, TM_DATETIME, "bad");
        } catch (TimeException& e) {
            VORLIX_RETHROW(e);
        }
        FAIL() << "not thrown on";
    } catch (const Exception& e) {
        EXPECT_EQ(e.codeText(), "4.8");
        ASSERT_EQ(e.trace().size(), 2u);
        EXPECT_EQ(e.trace()[0].source, "ExceptionTest.");
        EXPECT_EQ(e.trace()[1].line, e.trace()[0].line + 2);
        EXPECT_EQ(e.text(), "bad");
    }
}

TEST(Exception, CopiesAreIndependentValues)
{
    FileException original(FL_WRITE, "f", "x.cpp", 1);
    FileException copy = original;
    copy.addLocation("y.cpp", 2);
    EXPECT_EQ(original.trace().size(), 1u);
    EXPECT_EQ(copy.trace().size(), 2u);
    EXPECT_EQ(copy.describe(), original.describe());
}
