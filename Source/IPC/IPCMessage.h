// IPCMessage.h - the suite's message text: the addressee word and four fields, separated by ESC.
//
// Portable: no platform headers; this is the byte-exact contract with every other program of the
// suite, so it builds and is tested natively. Fields are not escaped: a field holding ESC or NUL
// shifts or cuts the fields after it, exactly as the other programs see it.
#pragma once

#include <cstddef>
#include <string>

namespace Vorlix {

constexpr char IPC_FIELD_SEPARATOR = '\x1B';
extern const char* const IPC_ADDRESSEE; // "Vorlix"

struct IPCFields {
    std::string addressee;
    std::string type;
    std::string id;
    std::string text;
    std::string sender;
};

// "Vorlix" ESC type ESC id ESC text ESC, then sender ESC only when sender is not empty.
std::string buildMessage(const std::string& type, const std::string& id, const std::string& text,
                         const std::string& sender);

// Five cuts at ESC: missing fields come out empty, anything after the fifth ESC is dropped.
IPCFields cutMessage(const std::string& received);

// True when the first field is exactly the addressee word.
bool isAddressedToUs(const IPCFields& fields);

// The text a datagram carries: its bytes up to the first NUL, or all of them without one.
std::string datagramText(const char* bytes, size_t length);

} // namespace Vorlix
