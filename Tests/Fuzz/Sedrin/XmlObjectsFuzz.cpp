// XmlObjectsFuzz.cpp - the text operations on XML configuration object files.
//
// Portable test code. The input is cut into a path, a new value, a destination and the file
// content. Properties: a found value position lies just after a ">" inside the content; the value
// edit (setValue, the initializer's set form) changes nothing outside the value, reads back and
// leaves the value's position where it was, and fails, leaving the content unchanged, exactly when
// there is no value tag or no "</Value>" after it; a copy that fails leaves the content unchanged,
// and one that succeeds only inserts one block, at the start of a line, ending in a line feed and
// carrying the new name.
#include "Sedrin/XmlObjects.h"

#include "Foundation/StringUtils.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void checkValueEdit(const std::string& path, const std::string& content, const std::string& value)
{
    std::string edited = content;
    const XmlObjects::SetResult outcome = XmlObjects::setValue(path, edited, value);
    const size_t start = XmlObjects::findValue(path, content, 0);
    if (start == XmlObjects::npos) {
        FUZZ_REQUIRE(outcome == XmlObjects::SetResult::NoValueTag && edited == content);
        return;
    }
    FUZZ_REQUIRE(start > 0 && start <= content.size() && content[start - 1] == '>');
    const size_t end = content.find("</Value>", start);
    if (end == std::string::npos) {
        FUZZ_REQUIRE(outcome == XmlObjects::SetResult::NoValueEnd && edited == content);
        return;
    }
    FUZZ_REQUIRE(outcome == XmlObjects::SetResult::Set);
    // Everything before the value and from its "</Value>" on is the old text; between them stands
    // the new value, which reads back at the same position.
    FUZZ_REQUIRE(edited.size() == content.size() - (end - start) + value.size());
    FUZZ_REQUIRE(edited.compare(0, start, content, 0, start) == 0);
    FUZZ_REQUIRE(edited.compare(start, value.size(), value) == 0);
    FUZZ_REQUIRE(edited.compare(start + value.size(), std::string::npos, content, end, std::string::npos) ==
                 0);
    FUZZ_REQUIRE(XmlObjects::findValue(path, edited, 0) == start);
    if (value.find('<') == std::string::npos) {
        FUZZ_REQUIRE(edited.find("</Value>", start) == start + value.size());
    }
}

void checkCopy(const std::string& source, const std::string& content, const std::string& destination)
{
    std::string copied = content;
    if (!XmlObjects::copyObject(source, copied, destination)) {
        FUZZ_REQUIRE(copied == content);
        return;
    }
    FUZZ_REQUIRE(copied.size() > content.size());
    const size_t inserted = copied.size() - content.size();
    size_t prefix = 0;
    while (prefix < content.size() && copied[prefix] == content[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < content.size() &&
           copied[copied.size() - 1 - suffix] == content[content.size() - 1 - suffix]) {
        ++suffix;
    }
    FUZZ_REQUIRE(prefix + suffix >= content.size());
    // Some place where the block can stand: after a line feed, ending in one.
    bool placed = false;
    for (size_t at = content.size() - suffix; at <= prefix && !placed; ++at) {
        placed = at > 0 && copied[at - 1] == '\n' && copied[at + inserted - 1] == '\n';
    }
    FUZZ_REQUIRE(placed);
    const size_t lastDot = destination.rfind('.');
    const std::string newName = lastDot == std::string::npos ? destination : destination.substr(lastDot + 1);
    FUZZ_REQUIRE(copied.find("<Name>" + newName) != std::string::npos);
    FUZZ_REQUIRE(copied.find("</Object>") != std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    // Four parts separated by the byte 0: path, value, destination, content.
    std::string rest(reinterpret_cast<const char*>(bytes), size);
    const std::string path = Vorlix::cut(rest, '\0');
    const std::string value = Vorlix::cut(rest, '\0');
    const std::string destination = Vorlix::cut(rest, '\0');
    const std::string content = rest;
    checkValueEdit(path, content, value);
    checkCopy(path, content, destination);
    return 0;
}
