// MailSlotTest.cpp - the mailslot transport and the client under Wine: open and create failures,
// draining, the per-call cap, raw datagrams, a hung guard holder and threads sharing one sender.
//
// Win32-only test code.
#include "IPC/MailSlot.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"

#include "Foundation/Exception.h"
#include "Foundation/Monopoly.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Vorlix::IPCException;
using Vorlix::MailSlot;

namespace {

std::string uniqueSlot(const char* what)
{
    static int serial = 0;
    return std::string("VorlixTest_") + what + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++serial);
}

template <typename F> IPCException catchIPC(F&& action)
{
    try {
        action();
    } catch (const IPCException& caught) {
        return caught;
    }
    ADD_FAILURE() << "no IPCException";
    return IPCException(Vorlix::IC_NONE);
}

// Writes bytes as one datagram, as a program that does not use our transport would.
void writeRaw(const std::string& path, const std::string& bytes)
{
    Vorlix::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

std::list<std::string> drain(MailSlot& slot)
{
    std::list<std::string> received;
    slot.receive(received);
    return received;
}

} // namespace

TEST(MailSlot, SenderBeforeReceiverFailsThenWorks)
{
    const std::string name = uniqueSlot("late");
    MailSlot sender(Vorlix::IPC_SENDER, name);
    const IPCException refused = catchIPC([&] { sender.send("early"); });
    EXPECT_EQ(refused.code(), Vorlix::IC_CANNOT_SEND);
    EXPECT_FALSE(refused.text().empty()) << "the system's text for the open error";
    EXPECT_GE(static_cast<unsigned char>(refused.text().back()), ' ') << "line end cut off";

    Vorlix::IPCClient client(name);
    EXPECT_FALSE(client.send("COMMAND", "", "DIE", "")) << "refused without throwing";

    MailSlot receiver(Vorlix::IPC_RECEIVER, name);
    EXPECT_EQ(receiver.path(), "\\\\.\\mailslot\\" + name);
    EXPECT_TRUE(sender.send("late"));
    EXPECT_TRUE(client.send("COMMAND", "", "DIE", "")) << "the same client works once the server exists";
    const auto received = drain(receiver);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received.front(), "late");
    EXPECT_EQ(received.back(), Vorlix::buildMessage("COMMAND", "", "DIE", ""));
}

TEST(MailSlot, OneReceiverPerName)
{
    const std::string name = uniqueSlot("twice");
    MailSlot first(Vorlix::IPC_RECEIVER, name);
    const IPCException taken = catchIPC([&] { MailSlot second(Vorlix::IPC_RECEIVER, name); });
    EXPECT_EQ(taken.code(), Vorlix::IC_CANNOT_CREATE_COMM);
    EXPECT_FALSE(taken.text().empty());
}

TEST(MailSlot, WrongDirection)
{
    const std::string name = uniqueSlot("direction");
    MailSlot receiver(Vorlix::IPC_RECEIVER, name);
    MailSlot sender(Vorlix::IPC_SENDER, name);
    EXPECT_EQ(catchIPC([&] { receiver.send("x"); }).code(), Vorlix::IC_NOT_SENDER);
    std::list<std::string> untouched{"seed"};
    EXPECT_EQ(catchIPC([&] { sender.receive(untouched); }).code(), Vorlix::IC_NOT_RECEIVER);
    EXPECT_EQ(untouched, std::list<std::string>{"seed"});
    EXPECT_TRUE(drain(receiver).empty()) << "the refused send wrote nothing";
}

TEST(MailSlot, DrainsInOrderWithRawAndEmptyDatagrams)
{
    const std::string name = uniqueSlot("order");
    MailSlot receiver(Vorlix::IPC_RECEIVER, name);
    std::list<std::string> seeded{"seed"};
    receiver.receive(seeded);
    EXPECT_EQ(seeded, std::list<std::string>{"seed"}) << "an empty mailslot leaves the list alone";

    MailSlot sender(Vorlix::IPC_SENDER, name);
    EXPECT_TRUE(sender.send("one"));
    EXPECT_TRUE(sender.send(""));
    EXPECT_TRUE(sender.send("three"));
    writeRaw(receiver.path(), "no terminator");
    writeRaw(receiver.path(), std::string("cut\0here", 8));
    const std::string large(60000, 'L');
    EXPECT_TRUE(sender.send(large));

    const std::list<std::string> expected{"one", "", "three", "no terminator", "cut", large};
    EXPECT_EQ(drain(receiver), expected);
    EXPECT_TRUE(drain(receiver).empty());
}

TEST(MailSlot, ReceiveTakesAtMostItsCapPerCall)
{
    const std::string name = uniqueSlot("cap");
    MailSlot receiver(Vorlix::IPC_RECEIVER, name);
    MailSlot sender(Vorlix::IPC_SENDER, name);
    // Wine: a mailslot holds only some hundred small datagrams before writes block, so the cap is
    // lowered here to stay below that; on Windows the default cap is what bounds a fast sender.
    receiver.setReceiveLimit(10);
    const size_t total = 45;
    for (size_t i = 0; i < total; ++i) {
        ASSERT_TRUE(sender.send(std::to_string(i)));
    }
    std::list<std::string> received;
    for (size_t call = 1; call <= 5; ++call) {
        receiver.receive(received);
        EXPECT_EQ(received.size(), std::min(call * 10, total)) << "the rest waits for the next call";
    }
    ASSERT_EQ(received.size(), total) << "nothing is dropped";
    size_t i = 0;
    for (const auto& text : received) {
        EXPECT_EQ(text, std::to_string(i++));
    }
}

TEST(MailSlot, HungGuardHolderCostsABoundedQuietWait)
{
    const std::string name = uniqueSlot("hung");
    MailSlot receiver(Vorlix::IPC_RECEIVER, name);
    MailSlot sender(Vorlix::IPC_SENDER, name);
    sender.setGuardWait(600);

    Vorlix::Monopoly holder(MailSlot::WRITE_GUARD_NAME);
    ASSERT_TRUE(holder.acquire());
    FILETIME created, ended, kernelBefore, userBefore, kernelAfter, userAfter;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernelBefore, &userBefore);
    const auto start = std::chrono::steady_clock::now();
    const IPCException timedOut = catchIPC([&] { sender.send("blocked"); });
    const auto took = std::chrono::steady_clock::now() - start;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernelAfter, &userAfter);
    EXPECT_EQ(timedOut.code(), Vorlix::IC_CANNOT_SEND);
    EXPECT_GE(took, 550ms);
    EXPECT_LT(took, 3s);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const uint64_t busy100ns =
        ticks(kernelAfter) - ticks(kernelBefore) + ticks(userAfter) - ticks(userBefore);
    const auto wall100ns =
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(took).count()) * 10;
    EXPECT_LT(busy100ns, wall100ns / 2) << "the sender yields between tries instead of spinning";

    ASSERT_TRUE(holder.release());
    EXPECT_TRUE(sender.send("free again")) << "the handle stays usable after a guard time-out";
    EXPECT_EQ(drain(receiver), std::list<std::string>{"free again"});
}

TEST(MailSlot, ThreadsSharingOneSender)
{
    const std::string name = uniqueSlot("shared");
    MailSlot receiver(Vorlix::IPC_RECEIVER, name);
    MailSlot sender(Vorlix::IPC_SENDER, name);
    Vorlix::IPCClient client(name);
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string text = std::to_string(t) + ":" + std::to_string(i);
                try {
                    // Half the threads share the transport, half the client (and its lazy transport).
                    const bool sent = t % 2 == 0 ? sender.send(text) : client.send("T", "", text, "");
                    failures[t] += sent ? 0 : 1;
                } catch (...) {
                    ++failures[t];
                }
            }
        });
    }
    std::vector<int> next(kThreads, 0);
    int seen = 0;
    const bool all = TestSupport::waitUntil(
        [&] {
            for (const auto& text : drain(receiver)) {
                const std::string body = text.rfind("Vorlix", 0) == 0 ? Vorlix::cutMessage(text).text : text;
                const int t = std::stoi(body.substr(0, body.find(':')));
                EXPECT_EQ(body, std::to_string(t) + ":" + std::to_string(next[t])) << "whole and in order";
                ++next[t];
                ++seen;
            }
            return seen == kThreads * kEach;
        },
        20s, 10ms);
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(all) << seen;
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

// A client kept across a restart of its server: while the server is gone its sends fail, and once
// the server is back they arrive again. A send that "succeeds" into a mailslot nobody reads any
// more loses the message and tells the caller it was delivered.
TEST(MailSlot, ClientReusedAcrossARestartOfItsServer)
{
    const std::string name = uniqueSlot("restart");
    Vorlix::IPCClient client(name);
    auto receiver = std::make_unique<MailSlot>(Vorlix::IPC_RECEIVER, name);
    ASSERT_TRUE(client.send("COMMAND", "", "first", ""));
    EXPECT_EQ(drain(*receiver).size(), 1u);

    receiver.reset();
    EXPECT_FALSE(client.send("COMMAND", "", "while gone", "")) << "nobody owns the mailslot";

    try {
        receiver = std::make_unique<MailSlot>(Vorlix::IPC_RECEIVER, name);
    } catch (const IPCException& caught) {
        FAIL() << "the server cannot come back while the kept client holds the old mailslot: "
               << caught.fullText();
    }
    EXPECT_TRUE(client.send("COMMAND", "", "after restart", ""));
    const auto received = drain(*receiver);
    ASSERT_EQ(received.size(), 1u) << "the message sent after the restart arrives";
    EXPECT_EQ(Vorlix::cutMessage(received.front()).text, "after restart");
}
