// StringUtils.cpp - the shared string rules.
//
// Portable: no platform headers.
#include "Foundation/StringUtils.h"

#include <algorithm>

namespace Vorlix {

namespace {

bool isBlank(char c)
{
    return static_cast<signed char>(c) <= 32;
}

} // namespace

size_t trimLeft(std::string& text)
{
    size_t n = 0;
    while (n < text.size() && isBlank(text[n])) {
        ++n;
    }
    text.erase(0, n);
    return n;
}

size_t trimRight(std::string& text)
{
    size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) {
        --end;
    }
    const size_t removed = text.size() - end;
    text.erase(end);
    return removed;
}

size_t trim(std::string& text)
{
    const size_t right = trimRight(text);
    return right + trimLeft(text);
}

void toLower(std::string& text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}

std::string lowerCopy(const std::string& text)
{
    std::string copy = text;
    toLower(copy);
    return copy;
}

void unquote(std::string& text)
{
    if (text.empty()) {
        return;
    }
    const char first = text.front();
    if ((first == '"' || first == '\'') && text.back() == first) {
        if (text.size() == 1) {
            text.clear();
        } else {
            text = text.substr(1, text.size() - 2);
        }
    }
}

size_t replaceChar(std::string& text, char from, char to)
{
    size_t n = 0;
    for (char& c : text) {
        if (c == from) {
            c = to;
            ++n;
        }
    }
    return n;
}

size_t countChar(char byte, const std::string& text, size_t start, size_t length)
{
    if (start >= text.size()) {
        return 0;
    }
    const size_t end = (length > text.size() - start) ? text.size() : start + length;
    size_t n = 0;
    for (size_t i = start; i < end; ++i) {
        if (text[i] == byte) {
            ++n;
        }
    }
    return n;
}

void padRight(std::string& text, size_t width, char fill)
{
    if (text.size() < width) {
        text.append(width - text.size(), fill);
    }
}

std::string cut(std::string& text, char separator)
{
    const size_t k = text.find(separator);
    if (k == std::string::npos) {
        std::string all;
        all.swap(text);
        return all;
    }
    std::string head = text.substr(0, k);
    text.erase(0, k + 1);
    return head;
}

void split(const std::string& text, char separator, std::vector<std::string>& parts, size_t maxCount)
{
    parts.clear();
    if (text.empty()) {
        return;
    }
    size_t partStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (maxCount > 0 && parts.size() + 1 >= maxCount) {
            parts.push_back(text.substr(partStart));
            return;
        }
        if (text[i] == separator) {
            parts.push_back(text.substr(partStart, i - partStart));
            partStart = i + 1;
        }
    }
    if (partStart < text.size()) {
        parts.push_back(text.substr(partStart));
    }
}

bool matchesAt(const std::string& text, const std::string& pattern, size_t position)
{
    if (position > text.size() || pattern.size() > text.size() - position) {
        return false;
    }
    return text.compare(position, pattern.size(), pattern) == 0;
}

std::string intToString(int32_t value)
{
    return std::to_string(value);
}

namespace {

bool isCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int32_t leadingInteger(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude that stops growing once it is past the range.
    const int64_t ceiling = static_cast<int64_t>(INT32_MAX) + 1;
    int64_t magnitude = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        magnitude = std::min(ceiling, magnitude * 10 + (text[i] - '0'));
        ++i;
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return static_cast<int32_t>(std::min(magnitude, static_cast<int64_t>(INT32_MAX)));
}

std::string escapeControlBytes(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace Vorlix
