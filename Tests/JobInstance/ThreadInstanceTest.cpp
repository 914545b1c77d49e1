// ThreadInstanceTest.cpp - thread jobs: exit codes, suspend and resume counts, polite and forced
// stop, destruction of a running job.
//
// Win32-only test code.
#include "JobInstance/ThreadInstance.h"

#include "Foundation/Exception.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;
using Vorlix::JobException;
using Vorlix::ThreadInstance;

namespace {

uint32_t returnSeven(void*)
{
    return 7;
}

uint32_t returnStillActive(void*)
{
    return 259;
}

uint32_t throwSomething(void*)
{
    throw std::runtime_error("escaped");
}

// Counts up until told to stop through the flag it is given; never reads a message queue.
uint32_t countUp(void* parameter)
{
    auto* counter = static_cast<std::atomic<int32_t>*>(parameter);
    while (counter->load() >= 0) {
        counter->fetch_add(1);
        Sleep(5);
    }
    return 0;
}

// Runs a message loop; ends on the destroy message unless `ignore` is set.
struct LoopState {
    bool ignore = false;
    std::atomic<bool> ready{false};
};

uint32_t messageLoop(void* parameter)
{
    auto* state = static_cast<LoopState*>(parameter);
    MSG message{};
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    state->ready = true;
    for (int i = 0; i < 600; ++i) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_DESTROY && !state->ignore) {
                return 5;
            }
        }
        Sleep(10);
    }
    return 6;
}

template <typename F> int32_t jobErrorOf(F&& action)
{
    try {
        action();
    } catch (const JobException& caught) {
        return caught.code();
    }
    return -1;
}

} // namespace

TEST(ThreadJob, ExitCodesAndStatus)
{
    struct Case {
        Vorlix::ThreadRoutine routine;
        int32_t expected;
        const char* why;
    } cases[] = {
        {returnSeven, 7, "the routine's result"},
        {returnStillActive, 259, "the still-active value as a real result still means finished"},
        {throwSomething, -1, "an exception ends the thread, not the process"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ThreadInstance job(c.routine, nullptr);
        EXPECT_EQ(job.getStatus(), Vorlix::JOB_NOT_STARTED);
        job.execute();
        EXPECT_NE(job.getThreadId(), 0u);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return job.getStatus() == Vorlix::JOB_FINISHED; }, 5s));
        int32_t code = -12345;
        EXPECT_EQ(job.getExitCode(code), Vorlix::JOB_EXITED);
        EXPECT_EQ(code, c.expected);
        EXPECT_EQ(job.suspend(), 0) << "a finished thread is not suspended";
        EXPECT_FALSE(job.stop());
    }
}

TEST(ThreadJob, SuspendAndResumeCounts)
{
    std::atomic<int32_t> counter{0};
    ThreadInstance job(countUp, &counter);
    job.execute();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return counter.load() > 0; },
                                       20s)); // a loaded machine starts threads late
    EXPECT_EQ(job.suspend(), 1);
    EXPECT_EQ(job.suspend(), 2);
    const int32_t frozen = counter.load();
    Sleep(100);
    EXPECT_EQ(counter.load(), frozen) << "a suspended thread does not run";
    EXPECT_EQ(job.resume(), 2);
    EXPECT_EQ(job.resume(), 1);
    EXPECT_EQ(job.resume(), 0) << "resuming a thread that is not suspended";
    EXPECT_TRUE(TestSupport::waitUntil([&] { return counter.load() > frozen; }, 5s));
    counter = -1000000;
    EXPECT_TRUE(TestSupport::waitUntil([&] { return job.getStatus() == Vorlix::JOB_FINISHED; }, 5s));
}

TEST(ThreadJob, PoliteStop)
{
    LoopState state;
    ThreadInstance job(messageLoop, &state);
    job.execute();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return state.ready.load(); }, 5s));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(job.stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_EQ(job.getStatus(), Vorlix::JOB_CLOSED);
    int32_t code = 0;
    EXPECT_EQ(job.getExitCode(code), Vorlix::JOB_EXITED);
    EXPECT_EQ(code, 5);
}

TEST(ThreadJob, ForcedStop)
{
    LoopState state;
    state.ignore = true;
    ThreadInstance ignoring(messageLoop, &state);
    ignoring.execute();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return state.ready.load(); }, 5s));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ignoring.stop());
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 950ms) << "waits the whole second in 50 ms steps";
    EXPECT_LT(took, 2500ms);
    EXPECT_EQ(ignoring.getStatus(), Vorlix::JOB_TERMINATED);
    int32_t code = 0;
    EXPECT_EQ(ignoring.getExitCode(code), Vorlix::JOB_EXITED);
    EXPECT_EQ(code, -1);

    std::atomic<int32_t> counter{0};
    ThreadInstance noQueue(countUp, &counter);
    noQueue.execute();
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(noQueue.terminate(false, 9, 1000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms) << "no queue: the post fails, forced at once";
    EXPECT_EQ(noQueue.getStatus(), Vorlix::JOB_TERMINATED);
    EXPECT_EQ(noQueue.getExitCode(code), Vorlix::JOB_EXITED);
    EXPECT_EQ(code, 9);
    EXPECT_FALSE(noQueue.terminate(true, 0, 0)) << "terminated jobs are not running";
}

TEST(ThreadJob, NeverExecuted)
{
    auto job = std::make_unique<ThreadInstance>(returnSeven, nullptr);
    EXPECT_EQ(job->getStatus(), Vorlix::JOB_NOT_STARTED);
    int32_t code = -12345;
    EXPECT_EQ(job->getExitCode(code), Vorlix::JOB_NOT_STARTED);
    EXPECT_EQ(code, -12345);
    EXPECT_EQ(jobErrorOf([&] { job->suspend(); }), Vorlix::JB_NEVER_STARTED);
    EXPECT_EQ(jobErrorOf([&] { job->resume(); }), Vorlix::JB_NEVER_STARTED);
    EXPECT_FALSE(job->stop());
    job.reset(); // destroying a job that never ran does nothing
}

TEST(ThreadJob, DestroyingARunningJobEndsTheThread)
{
    std::atomic<int32_t> counter{0};
    auto job = std::make_unique<ThreadInstance>(countUp, &counter);
    job->execute();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return counter.load() > 0; },
                                       20s)); // a loaded machine starts threads late
    job.reset();
    Sleep(50);
    const int32_t after = counter.load();
    Sleep(200);
    EXPECT_EQ(counter.load(), after) << "the thread was ended with its job";
}
