// MessageCatalogue.cpp - the lines of ".mess" catalogue files and looking messages up.
//
// Portable: no platform headers; must stay so (the line rules are built natively and fuzzed).
// Loading the files is in MessageCatalogueFiles.cpp.
#include "Logger/MessageCatalogue.h"

#include "Foundation/StringUtils.h"

namespace Vorlix {

namespace {

std::string keyOf(int32_t module, int32_t messageNumber)
{
    return intToString(module) + "." + intToString(messageNumber);
}

} // namespace

bool MessageCatalogue::addLine(int32_t module, const std::string& line)
{
    if (line.empty() || (line.size() >= 2 && line.compare(0, 2, "//") == 0)) {
        return false;
    }
    std::string text = line;
    std::string number = cut(text, ':');
    trim(number);
    trim(text);
    messages.emplace(keyOf(module, leadingInteger(number)), text); // an existing key keeps its text
    return true;
}

bool MessageCatalogue::lookup(int32_t module, int32_t messageNumber, std::string& text) const
{
    const auto found = messages.find(keyOf(module, messageNumber));
    if (found == messages.end()) {
        return false;
    }
    text = found->second;
    return true;
}

} // namespace Vorlix
