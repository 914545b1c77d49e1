// MailSlotPeer.cpp - owns a mailslot by name and prints what arrives; or sends one message.
//
// Win32 tool, used by hand and as a stand-in listener (for instance for "Vorlix_Core").
//   MailSlotPeer <name> [count] [seconds]   prints each message: its bytes in hex, then its fields;
//                                           ends after `count` messages (0: no limit) or `seconds`
//   MailSlotPeer --send <name> <type> <id> <text> [sender]
#include "Foundation/Exception.h"
#include "Foundation/Win32.h"
#include "IPC/IPCClient.h"
#include "IPC/IPCMessage.h"
#include "IPC/MailSlot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>

namespace {

// Control bytes (ESC among them) shown as <hh>, so fields print on one line.
std::string visible(const std::string& text)
{
    std::string out;
    char code[8];
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) {
            std::snprintf(code, sizeof code, "<%02X>", byte);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

void print(unsigned long number, const std::string& message)
{
    std::printf("message %lu, %lu bytes:", number, static_cast<unsigned long>(message.size()));
    for (const char c : message) {
        std::printf(" %02X", static_cast<unsigned char>(c));
    }
    const Vorlix::IPCFields fields = Vorlix::cutMessage(message);
    std::printf("\n  addressee \"%s\"%s\n  type \"%s\"\n  id \"%s\"\n  text \"%s\"\n  sender \"%s\"\n",
                visible(fields.addressee).c_str(), Vorlix::isAddressedToUs(fields) ? "" : " (not for us)",
                visible(fields.type).c_str(), visible(fields.id).c_str(), visible(fields.text).c_str(),
                visible(fields.sender).c_str());
    std::fflush(stdout);
}

int listen(const char* name, unsigned long count, unsigned long seconds)
{
    Vorlix::MailSlot slot(Vorlix::IPC_RECEIVER, name);
    std::printf("listening on %s\n", slot.path().c_str());
    std::fflush(stdout);
    const ULONGLONG end = GetTickCount64() + 1000ull * seconds;
    unsigned long seen = 0;
    std::list<std::string> received;
    while (GetTickCount64() < end) {
        slot.receive(received);
        for (const std::string& message : received) {
            print(++seen, message);
            if (count != 0 && seen >= count) {
                return 0;
            }
        }
        received.clear();
        Sleep(50);
    }
    return count == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc >= 6 && std::strcmp(argv[1], "--send") == 0) {
            Vorlix::IPCClient client(argv[2]);
            const bool sent = client.send(argv[3], argv[4], argv[5], argc > 6 ? argv[6] : "");
            std::printf("%s\n", sent ? "sent" : "not sent");
            return sent ? 0 : 1;
        }
        if (argc >= 2 && argv[1][0] != '-') {
            return listen(argv[1], argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 0,
                          argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 60);
        }
    } catch (const Vorlix::Exception& caught) {
        std::fprintf(stderr, "%s\n", caught.fullText().c_str());
        return 1;
    }
    std::fprintf(stderr, "usage: MailSlotPeer <name> [count] [seconds]\n"
                         "       MailSlotPeer --send <name> <type> <id> <text> [sender]\n");
    return 2;
}
