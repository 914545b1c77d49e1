#include "VorlixSentinel/Sentinel.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Sentinel, ConstructorDropsThePrefixPair)
{
    struct Case {
        const char* commandLine;
        Vorlix::OptionList expected;
        const char* why;
    };
    const Case cases[] = {
        {"", {}, "empty command line"},
        {"-c C:\\v\\sentinel.conf", {{"c", "C:\\v\\sentinel.conf"}}, "option c with a blank"},
        {"-cC:\\v\\sentinel.conf", {{"c", "C:\\v\\sentinel.conf"}}, "option c without a blank"},
        {" -c \"C:\\a b\\s.conf\" extra",
         {{"c", "C:\\a b\\s.conf"}, {"", "extra"}},
         "quoted value and a loose word"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Sentinel sentinel(std::string("dummy") + c.commandLine);
        EXPECT_EQ(Sentinel::options, c.expected);
        EXPECT_EQ(Sentinel::programName, "Sentinel");
    }
}

TEST(Sentinel, InstanceTagFromUserNameOrTime)
{
    EXPECT_EQ(Sentinel::makeInstanceTag("John Smith", 0), "John_Smith");
    EXPECT_EQ(Sentinel::makeInstanceTag(" a  b ", 0), "_a__b_");
    EXPECT_EQ(Sentinel::makeInstanceTag(nullptr, 1211180139), "1211180120");
    EXPECT_EQ(Sentinel::makeInstanceTag(nullptr, 40), "40");

    char user[257] = {};
    DWORD size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    Sentinel sentinel("dummy");
    EXPECT_EQ(Sentinel::instanceTag, Sentinel::makeInstanceTag(user, 0));
}

TEST(SentinelProgram, CloseMessageEndsTheRunWithExitCodeZero)
{
    TestSupport::ChildProcess child;
    const std::string exe = TestSupport::programPath("VorlixSentinel.exe");
    ASSERT_TRUE(child.start("\"" + exe + "\" -c \"C:\\no-such\\sentinel.conf\"")) << GetLastError();

    // The main thread accepts thread messages once its queue exists; keep posting until it does.
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return PostThreadMessageA(child.threadId, WM_CLOSE, 0, 0) != FALSE; }, 20s));

    uint32_t exitCode = 12345;
    ASSERT_TRUE(child.wait(20s, exitCode)) << "watchdog did not stop on WM_CLOSE";
    EXPECT_EQ(exitCode, 0u);
}
