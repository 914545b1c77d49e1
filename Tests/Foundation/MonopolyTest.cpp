#include "Foundation/Monopoly.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using Vorlix::Monopoly;

namespace {

const char* const kChildVariable = "VORLIX_MONOPOLY_CHILD";

std::string uniqueName(const char* what)
{
    return std::string("VorlixTest_") + what + "_" + std::to_string(GetCurrentProcessId());
}

Vorlix::KernelHandle makeEvent(const std::string& name)
{
    return Vorlix::KernelHandle(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
}

} // namespace

// Runs only inside a child process started by the tests below: holds the guard named in the
// environment until told to release it, then until told to exit.
TEST(MonopolyChild, HoldGuard)
{
    const char* name = std::getenv(kChildVariable);
    if (name == nullptr) {
        GTEST_SKIP() << "child role only";
    }
    Monopoly guard(name);
    ASSERT_TRUE(guard.acquire());
    auto ready = makeEvent(std::string(name) + "-ready");
    auto release = makeEvent(std::string(name) + "-release");
    auto leave = makeEvent(std::string(name) + "-exit");
    SetEvent(ready.get());
    WaitForSingleObject(release.get(), 30000);
    ASSERT_TRUE(guard.release());
    WaitForSingleObject(leave.get(), 30000);
}

class MonopolyAcrossProcesses : public ::testing::Test {
protected:
    void startHolder(const std::string& name)
    {
        ready = makeEvent(name + "-ready");
        release = makeEvent(name + "-release");
        leave = makeEvent(name + "-exit");
        const std::string command = "\"" + TestSupport::programPath("MonopolyTests.exe") +
                                    "\" --gtest_filter=MonopolyChild.HoldGuard";
        ASSERT_TRUE(child.start(command, kChildVariable, name));
        ASSERT_EQ(WaitForSingleObject(ready.get(), 20000), WAIT_OBJECT_0) << "child never held the guard";
    }

    TestSupport::ChildProcess child;
    Vorlix::KernelHandle ready, release, leave;
};

TEST_F(MonopolyAcrossProcesses, RefusedWhileHeldThenFreeAfterRelease)
{
    const std::string name = uniqueName("release");
    startHolder(name);
    Monopoly mine(name);
    EXPECT_FALSE(mine.acquire());
    EXPECT_FALSE(mine.isHeld());

    SetEvent(release.get());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return mine.acquire(); }, 10s));
    EXPECT_TRUE(mine.release());
    SetEvent(leave.get());
    uint32_t code = 1;
    ASSERT_TRUE(child.wait(10s, code));
    EXPECT_EQ(code, 0u);
}

TEST_F(MonopolyAcrossProcesses, FreeAfterHolderEndsWithoutRelease)
{
    const std::string name = uniqueName("crash");
    startHolder(name);
    Monopoly mine(name);
    EXPECT_FALSE(mine.acquire());
    child.kill();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return mine.acquire(); }, 10s));
}

TEST(Monopoly, NamedInOneProcess)
{
    const std::string name = uniqueName("local");
    Monopoly first(name);
    Monopoly second(name);
    EXPECT_TRUE(second.release()) << "release of a free guard is a no-op";
    EXPECT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire()) << "held: acquiring again succeeds";
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(first.setName("other")) << "no renaming while the mutex is open";
    EXPECT_TRUE(first.release());
    EXPECT_FALSE(first.isHeld());
    EXPECT_TRUE(second.acquire());
    EXPECT_TRUE(second.release());
}

TEST(Monopoly, NamesWithSeparators)
{
    Monopoly guard("C:\\logs/sentinel.log");
    EXPECT_EQ(guard.getName(), "C:_logs_sentinel.log");
    EXPECT_TRUE(guard.acquire());
    Monopoly empty("");
    EXPECT_FALSE(empty.acquire());
}

TEST(Monopoly, UnnamedNestsAndExcludesOtherThreads)
{
    Monopoly lock;
    EXPECT_TRUE(lock.acquire());
    EXPECT_TRUE(lock.acquire());
    EXPECT_TRUE(lock.release());
    EXPECT_TRUE(lock.isHeld());

    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock.acquire();
        entered = true;
        lock.release();
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(entered) << "another thread must wait while the lock is held";
    EXPECT_TRUE(lock.release());
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_FALSE(lock.isHeld());
}
