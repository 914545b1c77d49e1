// ConfLookup.cpp - finding objects by dotted path, typed values and reference expansion.
//
// Portable: no platform headers; this file must stay free of them (the path text functions of
// FileUtils are portable too).
#include "Config/ConfReader.h"

#include "File/FileOps.h"
#include "Foundation/Exception.h"
#include "Foundation/StringUtils.h"

#include <algorithm>
#include <climits>

namespace Vorlix {

ConfNode* ConfReader::findNode(const std::string& path) const
{
    if (!rootNode || path.empty()) {
        return nullptr;
    }
    std::string rest = path;
    ConfNode* current = rootNode.get();
    while (!rest.empty()) {
        const std::string name = cut(rest, '.');
        ConfNode* child = current->firstChild();
        while (child != nullptr && child->name() != name) {
            child = child->nextSibling();
        }
        if (child == nullptr) {
            return nullptr;
        }
        current = child;
    }
    return current;
}

int32_t ConfReader::expandReferences(const std::string& path, std::string& result) const
{
    const size_t lengthLimit = std::max(kMaxExpandedLength, result.size());
    for (int32_t expansions = 0;; ++expansions) {
        const size_t open = result.find("${");
        if (open == std::string::npos) {
            return CONF_OK;
        }
        const size_t close = result.find('}', open);
        if (close == std::string::npos) {
            if (!logger.isNull()) {
                logger->error(kMsgUnterminatedReference, ParameterList().add(path));
            }
            return CONF_BAD_REFERENCE;
        }
        if (expansions >= kMaxReferenceExpansions) {
            debug(1, "ConfReader: More than %i references to expand in \"%s\".",
                  ParameterList().add(kMaxReferenceExpansions).add(path));
            return CONF_BAD_REFERENCE;
        }
        const std::string referenced = result.substr(open + 2, close - open - 2);
        const ConfNode* node = findNode(referenced);
        if (node == nullptr) {
            debug(5, "ConfReader: Found, but reference inside value was not.");
            return CONF_NOT_FOUND;
        }
        if (node->type().empty()) {
            debug(5, "ConfReader: Found, but reference inside value didn't have a value.");
            return CONF_NO_VALUE;
        }
        std::string value = node->value();
        debug(5, "ConfReader: Reference \"%s\" = \"%s\".", ParameterList().add(referenced).add(value));
        if (node->type() == "DirName") {
            FileUtils::addTrailingSeparator(value);
        }
        if (result.size() - (close + 1 - open) + value.size() > lengthLimit) {
            debug(1, "ConfReader: Value of \"%s\" grows past %i bytes through its references.",
                  ParameterList().add(path).add(static_cast<int32_t>(lengthLimit)));
            return CONF_BAD_REFERENCE;
        }
        result.replace(open, close + 1 - open, value);
    }
}

int32_t ConfReader::getValue(const std::string& path, const std::string& type, std::string& result) const
{
    debug(5, "ConfReader: Getting %s %s...", ParameterList().add(type).add(path));
    const ConfNode* node = findNode(path);
    if (node == nullptr) {
        debug(5, "ConfReader: Not found.");
        return CONF_NOT_FOUND;
    }
    if (node->type().empty()) {
        debug(5, "ConfReader: Found, but has no value.");
        return CONF_NO_VALUE;
    }
    if (node->type() != type) {
        debug(1, "ConfReader: Found, but type is \"%s\", not \"%s\".",
              ParameterList().add(node->type()).add(type));
        return CONF_WRONG_TYPE;
    }
    result = node->value();
    debug(5, "ConfReader: Got raw value \"%s\".", ParameterList().add(result));
    const int32_t expanded = expandReferences(path, result);
    if (expanded != CONF_OK) {
        return expanded;
    }
    if (type == "DirName" && !result.empty()) {
        FileUtils::normalizeSeparators(result);
        FileUtils::addTrailingSeparator(result);
    } else if (type == "FileName") {
        FileUtils::normalizeSeparators(result);
    }
    debug(5, "ConfReader: Got final value \"%s\".", ParameterList().add(result));
    return CONF_OK;
}

int32_t ConfReader::getString(const std::string& path, std::string& result, bool trimBlanks,
                              bool lowerCase) const
{
    const int32_t code = getValue(path, "String", result);
    if (code != CONF_OK) {
        return code;
    }
    if (trimBlanks) {
        trim(result);
    }
    if (lowerCase) {
        toLower(result);
    }
    return CONF_OK;
}

int32_t ConfReader::getBool(const std::string& path, bool& result) const
{
    std::string text;
    const int32_t code = getValue(path, "Bool", text);
    if (code != CONF_OK) {
        return code;
    }
    if (text == "true") {
        result = true;
    } else if (text == "false") {
        result = false;
    } else {
        return CONF_BAD_BOOL;
    }
    return CONF_OK;
}

int32_t ConfReader::getInteger(const std::string& path, int32_t& result) const
{
    std::string text;
    const int32_t code = getValue(path, "Integer", text);
    if (code != CONF_OK) {
        return code;
    }
    result = leadingInteger(text);
    return CONF_OK;
}

int32_t ConfReader::getDirName(const std::string& path, std::string& result) const
{
    const int32_t code = getValue(path, "DirName", result);
    if (code != CONF_OK) {
        return code;
    }
    trim(result);
    return CONF_OK;
}

int32_t ConfReader::getTimeSpan(const std::string& path, TimeSpanFields& result) const
{
    std::string text;
    const int32_t code = getValue(path, "TimeSpan", text);
    if (code != CONF_OK) {
        return code;
    }
    try {
        result = TimeSpan::parse(text);
    } catch (const TimeException&) {
        return CONF_BAD_TIMESPAN;
    }
    return CONF_OK;
}

int32_t ConfReader::getSubObjects(const std::string& path, std::list<std::string>& names) const
{
    debug(5, "ConfReader: Getting sub-objects of \"%s\".", ParameterList().add(path));
    const ConfNode* node = findNode(path);
    if (node == nullptr) {
        debug(5, "ConfReader: None found.");
        return CONF_NOT_FOUND;
    }
    for (const ConfNode* child = node->firstChild(); child != nullptr; child = child->nextSibling()) {
        names.push_back(child->name());
    }
    debug(5, "ConfReader: Found %i sub-objects.", ParameterList().add(static_cast<int32_t>(names.size())));
    return CONF_OK;
}

} // namespace Vorlix
