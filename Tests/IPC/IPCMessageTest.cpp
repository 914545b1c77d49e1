// IPCMessageTest.cpp - the wire text byte for byte, and how received datagrams are cut.
//
// Portable test code: no platform calls.
#include "IPC/IPCMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using Vorlix::IPCFields;

namespace {

const std::string E(1, '\x1B');

std::string wire(const char* literal, size_t length)
{
    return std::string(literal, length);
}

} // namespace

TEST(IPCMessage, BuildsExactBytes)
{
    struct Case {
        std::string type, id, text, sender, expected;
        const char* why;
    } cases[] = {
        {"COMMAND", "SEND_PROCESS_INFO", "DIE", "Sentinel_u1",
         "Vorlix" + E + "COMMAND" + E + "SEND_PROCESS_INFO" + E + "DIE" + E + "Sentinel_u1" + E,
         "all four fields"},
        {"LOGMSG", "", "T", "", "Vorlix" + E + "LOGMSG" + E + E + "T" + E, "empty id and sender"},
        {"REPLY", "", "", "srv", "Vorlix" + E + "REPLY" + E + E + E + "srv" + E, "empty id and text"},
        {"", "", "", "", wire("Vorlix\x1B\x1B\x1B\x1B", 10), "all empty: four separators"},
        {"", "", "", "s", wire("Vorlix\x1B\x1B\x1B\x1Bs\x1B", 12), "only the sender"},
        {"RUN_PROG", "x", "a b\x1A\x1C", "", "Vorlix" + E + "RUN_PROG" + E + "x" + E + "a b\x1A\x1C" + E,
         "bytes 26 and 28 travel unescaped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Vorlix::buildMessage(c.type, c.id, c.text, c.sender), c.expected);
    }
}

TEST(IPCMessage, EverySenderlessCombinationHasFourSeparatorsAndCutsBack)
{
    const char* values[] = {"", "v"};
    for (int mask = 0; mask < 16; ++mask) {
        SCOPED_TRACE(mask);
        const std::string type = values[mask & 1], id = values[(mask >> 1) & 1],
                          text = values[(mask >> 2) & 1], sender = values[(mask >> 3) & 1];
        const std::string built = Vorlix::buildMessage(type, id, text, sender);
        const size_t separators = static_cast<size_t>(std::count(built.begin(), built.end(), '\x1B'));
        EXPECT_EQ(separators, sender.empty() ? 4u : 5u);
        EXPECT_EQ(built.back(), '\x1B');
        const IPCFields cut = Vorlix::cutMessage(built);
        EXPECT_TRUE(Vorlix::isAddressedToUs(cut));
        EXPECT_EQ(cut.type, type);
        EXPECT_EQ(cut.id, id);
        EXPECT_EQ(cut.text, text);
        EXPECT_EQ(cut.sender, sender);
    }
}

TEST(IPCMessage, CutsReceivedTexts)
{
    struct Case {
        std::string received;
        bool addressed;
        IPCFields expected;
        const char* why;
    } cases[] = {
        {"", false, {"", "", "", "", ""}, "zero length"},
        {"Vorlix", true, {"Vorlix", "", "", "", ""}, "addressee alone: four empty fields"},
        {"Vorlix" + E + "COMMAND", true, {"Vorlix", "COMMAND", "", "", ""}, "no closing separator"},
        {"no separators at all", false, {"no separators at all", "", "", "", ""}, "no separators"},
        {"Vorlix" + E + "a" + E + "b" + E + "c" + E + "d" + E + "e" + E + "f" + E,
         true,
         {"Vorlix", "a", "b", "c", "d"},
         "too many fields: the rest is dropped"},
        {"vorlix" + E + "COMMAND" + E, false, {"vorlix", "COMMAND", "", "", ""}, "letter case differs"},
        {"Vorlix2" + E + "COMMAND" + E, false, {"Vorlix2", "COMMAND", "", "", ""}, "extra characters"},
        {" Vorlix" + E, false, {" Vorlix", "", "", "", ""}, "leading blank is not trimmed"},
        {E + E + E + E, false, {"", "", "", "", ""}, "separators only"},
        {"Vorlix" + E + "T" + E + "i\x1A\x1C" + E + "x" + E,
         true,
         {"Vorlix", "T", "i\x1A\x1C", "x", ""},
         "bytes 26 and 28 inside a field stay"},
        {"Vorlix" + E + "T" + E + "a" + E + "b" + E + "c" + E + "d" + E,
         true,
         {"Vorlix", "T", "a", "b", "c"},
         "byte 27 inside the id shifts the later fields"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const IPCFields cut = Vorlix::cutMessage(c.received);
        EXPECT_EQ(Vorlix::isAddressedToUs(cut), c.addressed);
        EXPECT_EQ(cut.addressee, c.expected.addressee);
        EXPECT_EQ(cut.type, c.expected.type);
        EXPECT_EQ(cut.id, c.expected.id);
        EXPECT_EQ(cut.text, c.expected.text);
        EXPECT_EQ(cut.sender, c.expected.sender);
    }
}

TEST(IPCMessage, DatagramText)
{
    struct Case {
        std::string bytes, expected;
        const char* why;
    } cases[] = {
        {wire("abc\0", 4), "abc", "terminating NUL"},
        {"abc", "abc", "missing NUL: all bytes"},
        {"", "", "zero length"},
        {wire("\0", 1), "", "an empty text"},
        {wire("ab\0cd\0", 6), "ab", "text ends at the first NUL"},
        {wire("\x1A\x1B\x1C", 3), wire("\x1A\x1B\x1C", 3), "bytes 26 to 28 are kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Vorlix::datagramText(c.bytes.data(), c.bytes.size()), c.expected);
    }
}

TEST(IPCMessage, LargestDatagram)
{
    // A mailslot datagram on one machine may hold up to 64 KiB; a text of that size cuts whole.
    const size_t framing = 17; // "Vorlix", "LOGMSG", four separators, the NUL
    const std::string text(65535 - framing, 'z');
    const std::string built = Vorlix::buildMessage("LOGMSG", "", text, "");
    std::string datagram = built + '\0';
    EXPECT_EQ(datagram.size(), 65535u);
    const IPCFields cut = Vorlix::cutMessage(Vorlix::datagramText(datagram.data(), datagram.size()));
    EXPECT_EQ(cut.text, text);
    EXPECT_EQ(cut.type, "LOGMSG");
}
