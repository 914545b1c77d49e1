// StringUtils.h - the shared trim, case, cut and split rules on 8-bit strings.
//
// Portable: no platform headers. Configuration values, IPC fields and log records are built on
// these rules, so their edge behaviour is fixed: a "blank" is any byte whose value, read as a
// signed 8-bit number, is at most 32 (control characters, the space, and every byte 0x80-0xFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Vorlix {

size_t trimLeft(std::string& text);
size_t trimRight(std::string& text);
size_t trim(std::string& text);

void toLower(std::string& text);
std::string lowerCopy(const std::string& text);

// Removes one pair of matching outer quotes (both '"' or both '\'').
void unquote(std::string& text);

size_t replaceChar(std::string& text, char from, char to);
size_t countChar(char byte, const std::string& text, size_t start, size_t length);
void padRight(std::string& text, size_t width, char fill);

// Returns the text before the first separator and removes it, with the separator, from `text`.
std::string cut(std::string& text, char separator);

// Fills `parts` with the separated parts of `text`; the last of at most `maxCount` parts takes the
// rest. A separator at the very end adds no empty last part.
void split(const std::string& text, char separator, std::vector<std::string>& parts,
           size_t maxCount = static_cast<size_t>(-1));

bool matchesAt(const std::string& text, const std::string& pattern, size_t position);

std::string intToString(int32_t value);
// The leading decimal number of `text` as the C library reads it (leading white space, an optional
// sign, digits), clamped to the signed 32-bit range; 0 when there is none.
int32_t leadingInteger(const std::string& text);

// A text from outside made safe for one log line: control bytes (CR, LF, the parameter and record
// separators among them) are written as \xHH; everything else, paths included, stays.
std::string escapeControlBytes(const std::string& text);

} // namespace Vorlix
