// IPCMessageFuzz.cpp - the suite's message text.
//
// Portable test code. Properties: a message built from fields without the separator cuts back into
// the same fields and is addressed to us; any received text cuts into fields without the separator
// whose lengths add up to no more than the text; a datagram's text is its bytes up to the first NUL,
// read from an exactly sized buffer so that AddressSanitizer sees any read past it.
#include "IPC/IPCMessage.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

using namespace Vorlix;

namespace {

std::string fieldFrom(FuzzedDataProvider& data)
{
    std::string field = data.ConsumeRandomLengthString(64);
    for (char& c : field) {
        if (c == IPC_FIELD_SEPARATOR) {
            c = '.';
        }
    }
    return field;
}

bool hasSeparator(const IPCFields& f)
{
    for (const std::string* field : {&f.addressee, &f.type, &f.id, &f.text, &f.sender}) {
        if (field->find(IPC_FIELD_SEPARATOR) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    // The datagram: an exactly sized heap copy.
    std::unique_ptr<char[]> datagram(new char[size == 0 ? 1 : size]);
    if (size > 0) {
        std::memcpy(datagram.get(), bytes, size);
    }
    const std::string received = datagramText(datagram.get(), size);
    const void* nul = size == 0 ? nullptr : std::memchr(bytes, '\0', size);
    const size_t expectedLength =
        nul == nullptr ? size : static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes);
    FUZZ_REQUIRE(received.size() == expectedLength &&
                 received.compare(0, expectedLength, reinterpret_cast<const char*>(bytes), expectedLength) ==
                     0);

    const IPCFields cutFields = cutMessage(received);
    FUZZ_REQUIRE(!hasSeparator(cutFields));
    FUZZ_REQUIRE(cutFields.addressee.size() + cutFields.type.size() + cutFields.id.size() +
                     cutFields.text.size() + cutFields.sender.size() <=
                 received.size());
    FUZZ_REQUIRE(isAddressedToUs(cutFields) == (cutFields.addressee == "Vorlix"));

    FuzzedDataProvider data(bytes, size);
    const std::string type = fieldFrom(data);
    const std::string id = fieldFrom(data);
    const std::string text = fieldFrom(data);
    const std::string sender = fieldFrom(data);
    const std::string wire = buildMessage(type, id, text, sender);
    const IPCFields back = cutMessage(wire);
    FUZZ_REQUIRE(isAddressedToUs(back));
    FUZZ_REQUIRE(back.type == type && back.id == id && back.text == text && back.sender == sender);
    // The wire text is exactly the fields and their separators, the sender's only when it has one.
    FUZZ_REQUIRE(wire.size() ==
                 6 + type.size() + id.size() + text.size() + 4 + (sender.empty() ? 0 : sender.size() + 1));
    return 0;
}
