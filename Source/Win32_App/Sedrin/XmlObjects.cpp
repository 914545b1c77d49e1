// XmlObjects.cpp - text operations on XML configuration object files.
//
// Portable: no platform headers.
#include "Sedrin/XmlObjects.h"

#include "Foundation/StringUtils.h"

namespace XmlObjects {

namespace {

const std::string kObjectOpen = "<Object>";
const std::string kObjectClose = "</Object>";

std::string nameElement(const std::string& name)
{
    return "<Name>" + name + "</Name>";
}

// The end (just past "</Object>") of the object whose "<Object>" starts at `start`, by counting
// nesting; npos when the tags do not balance before the content ends.
size_t objectEnd(const std::string& content, size_t start)
{
    int depth = 1;
    const size_t afterOpen = start + kObjectOpen.size();
    size_t nextOpen = content.find(kObjectOpen, afterOpen);
    size_t nextClose = content.find(kObjectClose, afterOpen);
    for (;;) {
        if (nextClose == npos) {
            return npos;
        }
        if (nextOpen != npos && nextOpen < nextClose) {
            ++depth;
            nextOpen = content.find(kObjectOpen, nextOpen + kObjectOpen.size());
        } else {
            --depth;
            if (depth == 0) {
                return nextClose + kObjectClose.size();
            }
            nextClose = content.find(kObjectClose, nextClose + kObjectClose.size());
        }
    }
}

} // namespace

size_t findValue(const std::string& path, const std::string& content, size_t from)
{
    std::string rest = path;
    size_t position = from;
    for (;;) {
        const std::string name = Vorlix::cut(rest, '.');
        const size_t found = content.find(nameElement(name), position);
        if (found == npos) {
            return npos;
        }
        if (!rest.empty()) {
            position = found + nameElement(name).size();
            continue;
        }
        const size_t valueTag = content.find("<Value", found);
        if (valueTag == npos) {
            return npos;
        }
        const size_t tagEnd = content.find('>', valueTag);
        return tagEnd == npos ? npos : tagEnd + 1;
    }
}

SetResult setValue(const std::string& path, std::string& content, const std::string& value)
{
    const size_t start = findValue(path, content, 0);
    if (start == npos) {
        return SetResult::NoValueTag;
    }
    const size_t end = content.find("</Value>", start);
    if (end == npos) {
        return SetResult::NoValueEnd;
    }
    content.replace(start, end - start, value);
    return SetResult::Set;
}

bool copyObject(const std::string& source, std::string& content, const std::string& destination)
{
    // 1. The source's name element: each name must occur somewhere; the last one's first
    //    occurrence is the object copied.
    std::string rest = source;
    size_t nameAt = npos;
    do {
        const std::string name = Vorlix::cut(rest, '.');
        nameAt = content.find(nameElement(name));
        if (nameAt == npos) {
            return false;
        }
    } while (!rest.empty());

    // 2. and 3. The object around it, from its "<Object>" to its balanced "</Object>".
    const size_t start = content.rfind(kObjectOpen, nameAt);
    if (start == npos) {
        return false;
    }
    const size_t end = objectEnd(content, start);
    if (end == npos || end <= nameAt) {
        return false; // unbalanced tags: nothing is copied
    }

    // 4. The block, from the start of the opening tag's line, ended by a single line feed.
    const size_t lineFeed = start == 0 ? npos : content.rfind('\n', start - 1);
    const size_t blockStart = lineFeed == npos ? 0 : lineFeed + 1;
    std::string block = content.substr(blockStart, end - blockStart) + "\n";

    // 5. Renamed to the destination's last name.
    const size_t nameTag = block.find("<Name>");
    if (nameTag == npos) {
        return false;
    }
    const size_t nameStart = nameTag + 6;
    const size_t nameEnd = block.find('<', nameStart);
    if (nameEnd == npos) {
        return false;
    }
    const size_t lastDot = destination.rfind('.');
    const std::string newName = lastDot == npos ? destination : destination.substr(lastDot + 1);
    block.replace(nameStart, nameEnd - nameStart, newName);

    // 6. The parent's names, searched as plain text one after the other.
    std::string parent = lastDot == npos ? std::string() : destination.substr(0, lastDot);
    size_t position = 0;
    while (!parent.empty()) {
        const std::string name = Vorlix::cut(parent, '.');
        const size_t found = content.find(name, position);
        if (found == npos) {
            return false;
        }
        position = found;
    }

    // 7. and 8. Right after the line of the first "<SubObjects>" that follows.
    const size_t subObjects = content.find("<SubObjects>", position);
    if (subObjects == npos) {
        return false;
    }
    const size_t afterLine = content.find('\n', subObjects);
    if (afterLine == npos) {
        return false;
    }
    content.insert(afterLine + 1, block);
    return true;
}

} // namespace XmlObjects
