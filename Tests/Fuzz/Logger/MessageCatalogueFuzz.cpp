// MessageCatalogueFuzz.cpp - the lines of message catalogue files, and their texts in log lines.
//
// Portable test code. The input is a catalogue file's lines. Properties: a skipped line adds
// nothing; a message line's text reads back trimmed under its number, and the first text of a
// number wins; substituting any parameters into a catalogue text reads nothing past either text.
#include "Logger/LogRecord.h"
#include "Logger/MessageCatalogue.h"

#include "Foundation/StringUtils.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

using namespace Vorlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    MessageCatalogue catalogue;
    std::map<int32_t, std::string> firstTexts;
    std::string rest = text;
    const int32_t module = 7;
    size_t lines = 0;
    while (!rest.empty() && lines++ < 500) {
        const std::string line = cut(rest, '\n');
        const size_t before = catalogue.size();
        const bool added = catalogue.addLine(module, line);
        const bool skipped = line.empty() || line.compare(0, 2, "//") == 0;
        FUZZ_REQUIRE(added == !skipped);
        if (!added) {
            FUZZ_REQUIRE(catalogue.size() == before);
            continue;
        }
        const size_t colon = line.find(':');
        std::string number = line.substr(0, colon);
        std::string message = colon == std::string::npos ? std::string() : line.substr(colon + 1);
        trim(number);
        trim(message);
        const int32_t key = leadingInteger(number);
        firstTexts.emplace(key, message);

        std::string stored = "~sentinel";
        FUZZ_REQUIRE(catalogue.lookup(module, key, stored));
        FUZZ_REQUIRE(stored == firstTexts[key]);
        FUZZ_REQUIRE(!catalogue.lookup(module + 1, key, stored));
        FUZZ_REQUIRE(catalogue.size() == firstTexts.size());

        // The catalogue text as the messenger uses it, with the rest of the input as parameters.
        substituteParameters(stored, rest.substr(0, 64));
    }
    return 0;
}
