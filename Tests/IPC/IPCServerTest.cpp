// IPCServerTest.cpp - the listener end to end under Wine, with senders in other processes: refusal
// before the server exists, one poll for a burst, four senders at once, a flood of good and
// malformed datagrams, a throwing handler, stop and destruction.
//
// Win32-only test code.
#include "IPC/IPCServer.h"

#include "Foundation/Exception.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Vorlix::IPCFields;
using Vorlix::IPCServer;

namespace {

const char* const kChildVariable = "VORLIX_IPC_CHILD";

// Keeps every record the server writes.
class RecordingDispatcher : public Vorlix::LogDispatcher {
public:
    RecordingDispatcher() : LogDispatcher(23) {}

    bool deliver(Vorlix::LogRecord record) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        records.push_back(record);
        return true;
    }

    bool has(int32_t level, const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return std::any_of(records.begin(), records.end(), [&](const Vorlix::LogRecord& r) {
            return r.debugLevel == level && r.text == text;
        });
    }

    size_t countContaining(const std::string& part)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return static_cast<size_t>(
            std::count_if(records.begin(), records.end(), [&](const Vorlix::LogRecord& r) {
                return r.text.find(part) != std::string::npos;
            }));
    }

    // The counts of the "Received N message(s)" records, poll by poll.
    std::vector<int> receivedCounts()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<int> counts;
        for (const auto& r : records) {
            const auto at = r.text.find("\": Received ");
            if (at != std::string::npos) {
                counts.push_back(std::atoi(r.text.c_str() + at + 12));
            }
        }
        return counts;
    }

private:
    std::mutex mutex;
    std::vector<Vorlix::LogRecord> records;
};

// What the handler saw; the handler is a plain function, so its state is process-wide.
struct Seen {
    std::mutex mutex;
    std::vector<IPCFields> messages;
    std::string throwOnText;
};
Seen seen;

void recordingHandler(const std::string& type, const std::string& id, const std::string& text,
                      const std::string& sender)
{
    std::lock_guard<std::mutex> lock(seen.mutex);
    if (!seen.throwOnText.empty() && text == seen.throwOnText) {
        throw std::runtime_error("handler refused " + text);
    }
    seen.messages.push_back(IPCFields{"", type, id, text, sender});
}

size_t seenCount()
{
    std::lock_guard<std::mutex> lock(seen.mutex);
    return seen.messages.size();
}

std::vector<IPCFields> seenMessages()
{
    std::lock_guard<std::mutex> lock(seen.mutex);
    return seen.messages;
}

std::string uniqueServer(const char* what)
{
    return std::string("VorlixTest_") + what + "_" + std::to_string(GetCurrentProcessId());
}

// The malformed datagrams of a flood, in turn: none of them is addressed to us.
std::string malformed(int i)
{
    switch (i % 5) {
    case 0:
        return "no separators at all";
    case 1:
        return "vorlix\x1B"
               "COMMAND\x1B"
               "\x1B"
               "DIE\x1B";
    case 2:
        return "";
    case 3:
        return std::string("\x1A\x1B\x1C\x1B\x1B\x1B\x1B\x1B\x1B", 9);
    default:
        return std::string(3000, '\x1B');
    }
}

class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.messages.clear();
        seen.throwOnText.clear();
    }

    void startServer(const std::string& serverName)
    {
        name = serverName;
        recorder = Vorlix::CountedHandle<RecordingDispatcher>(new RecordingDispatcher);
        server = std::make_unique<IPCServer>(name, recorder, recordingHandler);
        // Ready once a probe gets through: the listener creates the mailslot on its own thread.
        Vorlix::IPCClient probe(name);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return probe.send("PROBE", "", "", ""); }, 10s));
        ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 1; }, 5s));
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.messages.clear();
    }

    // Senders re-run this test program in the child role; they start at once and wait for "go".
    void startSenders(int count, int messages, bool flood)
    {
        go = Vorlix::KernelHandle(CreateEventA(nullptr, TRUE, FALSE, (name + "-go").c_str()));
        for (int c = 0; c < count; ++c) {
            std::ostringstream role;
            role << name << "|" << c << "|" << messages << "|" << (flood ? 1 : 0);
            const std::string command =
                "\"" + TestSupport::programPath("IPCTests.exe") + "\" --gtest_filter=IPCChild.Send";
            children.push_back(std::make_unique<TestSupport::ChildProcess>());
            ASSERT_TRUE(children.back()->start(command, kChildVariable, role.str()));
        }
    }

    void releaseSendersAndWait(std::chrono::milliseconds deadline)
    {
        SetEvent(go.get());
        for (auto& child : children) {
            uint32_t code = 1;
            ASSERT_TRUE(child->wait(deadline, code));
            EXPECT_EQ(code, 0u) << "every send of the child succeeded";
        }
    }

    // Each child's messages arrived whole and in the order it sent them.
    void expectAllInOrder(int count, int messages)
    {
        std::vector<int> next(static_cast<size_t>(count), 0);
        for (const auto& m : seenMessages()) {
            const int c = std::atoi(m.id.c_str());
            ASSERT_TRUE(c >= 0 && c < count) << m.id;
            EXPECT_EQ(m.type, "COMMAND");
            EXPECT_EQ(m.text,
                      "message " + std::to_string(next[static_cast<size_t>(c)]) + std::string(200, '.'));
            EXPECT_EQ(m.sender, "Sender_" + m.id);
            ++next[static_cast<size_t>(c)];
        }
        EXPECT_EQ(next, std::vector<int>(static_cast<size_t>(count), messages));
    }

    std::string name;
    // Held here too, so the records outlive the server and its listener.
    Vorlix::CountedHandle<RecordingDispatcher> recorder;
    std::unique_ptr<IPCServer> server;
    Vorlix::KernelHandle go;
    std::vector<std::unique_ptr<TestSupport::ChildProcess>> children;
};

} // namespace

// Child role: sends its share to the server named in the environment once "go" is set.
TEST(IPCChild, Send)
{
    const char* role = std::getenv(kChildVariable);
    if (role == nullptr) {
        GTEST_SKIP() << "child role only";
    }
    std::string server, child;
    int messages = 0, flood = 0;
    {
        std::string text = role;
        std::replace(text.begin(), text.end(), '|', ' ');
        std::istringstream fields(text);
        fields >> server >> child >> messages >> flood;
    }
    Vorlix::KernelHandle go(CreateEventA(nullptr, TRUE, FALSE, (server + "-go").c_str()));
    ASSERT_EQ(WaitForSingleObject(go.get(), 30000), WAIT_OBJECT_0);
    Vorlix::IPCClient client(server);
    Vorlix::MailSlot raw(Vorlix::IPC_SENDER, server);
    for (int i = 0; i < messages; ++i) {
        ASSERT_TRUE(client.send("COMMAND", child, "message " + std::to_string(i) + std::string(200, '.'),
                                "Sender_" + child));
        if (flood != 0) {
            ASSERT_TRUE(raw.send(malformed(i)));
        }
    }
}

TEST_F(ServerFixture, RefusedBeforeTheServerExistsThenABurstArrivesInOnePoll)
{
    const std::string serverName = uniqueServer("burst");
    auto early = std::make_unique<Vorlix::IPCClient>(serverName);
    EXPECT_FALSE(early->send("COMMAND", "", "DIE", "")) << "no mailslot yet: refused, not thrown";

    startServer(serverName);
    ASSERT_TRUE(early->send("COMMAND", "", "MARK", "")) << "the same client works now";
    startSenders(1, 3, false);
    // Right after the poll that delivered the mark, the next poll is about a second away.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 1; }, 5s));
    releaseSendersAndWait(10s);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 4; }, 5s));
    {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.messages.erase(seen.messages.begin());
    }
    expectAllInOrder(1, 3);
    const auto counts = recorder->receivedCounts();
    EXPECT_NE(std::find(counts.begin(), counts.end(), 3), counts.end()) << "the three came in one poll";

    const auto start = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
    EXPECT_TRUE(recorder->has(1, "IPC: Stopped server \"" + serverName + "\"."));
    EXPECT_TRUE(recorder->has(1, "IPC: Exitited IPC listener."));
    // Wine: the mailslot's name lives on while a writer still has it open, so the writer goes first.
    early.reset();
    EXPECT_FALSE(Vorlix::IPCClient(serverName).send("COMMAND", "", "late", ""))
        << "the mailslot went with the listener";
    server.reset();
    EXPECT_TRUE(recorder->has(1, "IPC: Destroyed server \"" + serverName + "\"."));
}

TEST_F(ServerFixture, FourSendingProcessesAtOnce)
{
    startServer(uniqueServer("four"));
    startSenders(4, 150, false);
    releaseSendersAndWait(60s);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 600; }, 10s)) << seenCount();
    expectAllInOrder(4, 150);
    server->stop();
}

TEST_F(ServerFixture, FloodOfGoodAndMalformedDatagrams)
{
    startServer(uniqueServer("flood"));
    startSenders(2, 2500, true); // 10,000 datagrams, half of them not addressed to us
    releaseSendersAndWait(120s);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 5000; }, 30s)) << seenCount();
    expectAllInOrder(2, 2500);
    for (int count : recorder->receivedCounts()) {
        EXPECT_LE(count, static_cast<int>(Vorlix::MailSlot::RECEIVE_MESSAGE_LIMIT)) << "bounded per poll";
    }
    EXPECT_GE(recorder->countContaining("was not adressed to Vorlix"), 5000u);

    Vorlix::IPCClient after(name);
    ASSERT_TRUE(after.send("COMMAND", "after", "flood", ""));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 5001; }, 5s)) << "still polling";
    EXPECT_EQ(seenMessages().back().id, "after");
    server->stop();
}

TEST_F(ServerFixture, AThrowingHandlerDoesNotEndTheListener)
{
    startServer(uniqueServer("throwing"));
    {
        std::lock_guard<std::mutex> lock(seen.mutex);
        seen.throwOnText = "boom";
    }
    Vorlix::IPCClient client(name);
    ASSERT_TRUE(client.send("COMMAND", "", "boom", ""));
    ASSERT_TRUE(client.send("COMMAND", "", "next", ""));
    ASSERT_TRUE(Vorlix::MailSlot(Vorlix::IPC_SENDER, name).send("Vorlix"));
    ASSERT_TRUE(Vorlix::MailSlot(Vorlix::IPC_SENDER, name)
                    .send("Other\x1B"
                          "COMMAND\x1B"));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 2; }, 5s));
    const auto messages = seenMessages();
    EXPECT_EQ(messages[0].text, "next") << "the message after the failing one is still delivered";
    EXPECT_EQ(messages[1].type, "") << "the addressee alone gives four empty fields";
    EXPECT_EQ(messages[1].id + messages[1].text + messages[1].sender, "");
    EXPECT_EQ(recorder->countContaining("IPC: The message handler failed: "), 1u);
    EXPECT_TRUE(recorder->has(4, "IPC: The message was not adressed to Vorlix. Ignoring it."));

    ASSERT_TRUE(client.send("COMMAND", "", "later", ""));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return seenCount() == 3; }, 5s)) << "still listening";
    server->stop();
}

TEST_F(ServerFixture, DestroyWithoutStopEndsTheListenerPolitely)
{
    const std::string serverName = uniqueServer("destroy");
    startServer(serverName);
    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_TRUE(recorder->has(4, "IPC: Received message to exit IPC listener."));
    EXPECT_TRUE(recorder->has(1, "IPC: Exitited IPC listener."));
    EXPECT_FALSE(Vorlix::IPCClient(serverName).send("COMMAND", "", "gone", ""));
}

TEST_F(ServerFixture, NameAlreadyServedElsewhere)
{
    const std::string serverName = uniqueServer("taken");
    Vorlix::MailSlot owner(Vorlix::IPC_RECEIVER, serverName);
    recorder = Vorlix::CountedHandle<RecordingDispatcher>(new RecordingDispatcher);
    server = std::make_unique<IPCServer>(serverName, recorder, recordingHandler);
    ASSERT_TRUE(
        TestSupport::waitUntil([&] { return recorder->countContaining("Unable to create") > 0; }, 5s));
    const auto start = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "the listener is gone: nothing to wait for";
    EXPECT_TRUE(recorder->has(1, "IPC: Stopping server \"" + serverName + "\" timed out."));
    server.reset();

    // The next server of the process listens normally.
    startServer(uniqueServer("after_taken"));
    server->stop();
    EXPECT_TRUE(recorder->has(1, "IPC: Stopped server \"" + name + "\"."));
}

// A server destroyed right after it was made: the listener may not have its message queue yet, so
// the destroy message cannot be posted and the thread job ends the listener by force, wherever it
// is (inside the heap, holding a copy of the logger). It must still end politely and let go of
// everything it holds.
TEST_F(ServerFixture, DestroyedRightAfterConstructionStillEndsPolitely)
{
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const std::string serverName = uniqueServer("quick") + "_" + std::to_string(round);
        recorder = Vorlix::CountedHandle<RecordingDispatcher>(new RecordingDispatcher);
        server = std::make_unique<IPCServer>(serverName, recorder, recordingHandler);
        server.reset();
        EXPECT_TRUE(recorder->has(1, "IPC: Exitited IPC listener.")) << "the listener was ended by force";
        EXPECT_EQ(recorder.useCount(), 1) << "a killed listener leaks its logger unit";
    }
}
