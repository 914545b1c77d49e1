// IPCMessage.cpp - building and cutting the suite's message text.
//
// Portable: no platform headers.
#include "IPC/IPCMessage.h"

#include "Foundation/StringUtils.h"

#include <cstring>
#include <initializer_list>

namespace Vorlix {

const char* const IPC_ADDRESSEE = "Vorlix";

std::string buildMessage(const std::string& type, const std::string& id, const std::string& text,
                         const std::string& sender)
{
    std::string wire;
    wire.reserve(std::strlen(IPC_ADDRESSEE) + type.size() + id.size() + text.size() + sender.size() + 5);
    wire.append(IPC_ADDRESSEE);
    for (const std::string* field : {&type, &id, &text}) {
        wire += IPC_FIELD_SEPARATOR;
        wire += *field;
    }
    wire += IPC_FIELD_SEPARATOR;
    if (!sender.empty()) {
        wire += sender;
        wire += IPC_FIELD_SEPARATOR;
    }
    return wire;
}

IPCFields cutMessage(const std::string& received)
{
    std::string rest = received;
    IPCFields fields;
    fields.addressee = cut(rest, IPC_FIELD_SEPARATOR);
    fields.type = cut(rest, IPC_FIELD_SEPARATOR);
    fields.id = cut(rest, IPC_FIELD_SEPARATOR);
    fields.text = cut(rest, IPC_FIELD_SEPARATOR);
    fields.sender = cut(rest, IPC_FIELD_SEPARATOR);
    return fields;
}

bool isAddressedToUs(const IPCFields& fields)
{
    return fields.addressee == IPC_ADDRESSEE;
}

std::string datagramText(const char* bytes, size_t length)
{
    const void* nul = length == 0 ? nullptr : std::memchr(bytes, '\0', length);
    return nul == nullptr ? std::string(bytes, length)
                          : std::string(bytes, static_cast<size_t>(static_cast<const char*>(nul) - bytes));
}

} // namespace Vorlix
