// CommandLineFuzz.cpp - the command-line tokenizer.
//
// Portable test code. Two properties: on any text, every name and value is a piece of the text (the
// tokenizer copies, it never invents or reads past the end); and a command line written from
// options by the rules (letters or long names, plain or double-quoted values) splits back into
// exactly those options.
#include "Foundation/CommandLine.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

using Vorlix::OptionList;

namespace {

bool isAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string wordFrom(FuzzedDataProvider& data, bool (*allowed)(char), size_t maxLength)
{
    std::string word;
    const size_t length = data.ConsumeIntegralInRange<size_t>(0, maxLength);
    for (size_t i = 0; i < length && data.remaining_bytes() > 0; ++i) {
        const char c = data.ConsumeIntegral<char>();
        if (allowed(c)) {
            word += c;
        }
    }
    return word;
}

bool plainValueByte(char c)
{
    return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '"' && c != '\'' && c != '-';
}

bool quotedValueByte(char c)
{
    return c != '"';
}

void anyText(const std::string& text)
{
    OptionList pairs;
    Vorlix::splitCommandLine(text, pairs);
    FUZZ_REQUIRE(pairs.size() <= text.size());
    for (const auto& pair : pairs) {
        FUZZ_REQUIRE(pair.first.empty() || text.find(pair.first) != std::string::npos);
        FUZZ_REQUIRE(pair.second.empty() || text.find(pair.second) != std::string::npos);
    }
}

void writtenOptions(FuzzedDataProvider& data)
{
    OptionList written;
    std::string text;
    const size_t count = data.ConsumeIntegralInRange<size_t>(0, 8);
    for (size_t i = 0; i < count && data.remaining_bytes() > 0; ++i) {
        std::string name;
        if (data.ConsumeBool()) {
            name = wordFrom(data, isAlphanumeric, 1);
        } else {
            name = wordFrom(data, isAlphanumeric, 12);
        }
        if (name.empty()) {
            continue;
        }
        text += name.size() == 1 && data.ConsumeBool() ? "-" + name : "--" + name;
        std::string value;
        switch (data.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            break;
        case 1:
            value = wordFrom(data, plainValueByte, 16);
            text += " " + value;
            break;
        default:
            value = wordFrom(data, quotedValueByte, 16);
            text += " \"" + value + "\"";
            break;
        }
        text += data.ConsumeBool() ? " " : " \t ";
        written.emplace_back(name, value);
    }
    OptionList pairs;
    Vorlix::splitCommandLine(text, pairs);
    if (pairs != written) {
        std::fprintf(stderr, "command line: %s\n", FuzzSupport::shown(text).c_str());
    }
    FUZZ_REQUIRE(pairs == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    // An exactly sized copy: the standard library's checks see any read past the text.
    anyText(std::string(reinterpret_cast<const char*>(bytes), size));
    FuzzedDataProvider data(bytes, size);
    writtenOptions(data);
    return 0;
}
