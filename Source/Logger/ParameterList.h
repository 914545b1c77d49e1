// ParameterList.h - the typed parameter text of catalogued messages and formatted debug texts.
//
// Portable: no platform headers. Each entry is a type letter ("s" string, "n" number), the value
// text and the separator byte 26.
#pragma once

#include <cstdint>
#include <string>

namespace Vorlix {

class ParameterList {
public:
    static constexpr char SEPARATOR = '\x1A';

    ParameterList() = default;

    ParameterList& add(const std::string& value);
    ParameterList& add(const char* value);
    ParameterList& add(uint32_t value);
    ParameterList& add(int32_t value);
    ParameterList& add(long value);
    ParameterList& add(long long value);

    const std::string& text() const { return encoded; }

private:
    ParameterList& addNumber(long long value);

    std::string encoded;
};

} // namespace Vorlix
