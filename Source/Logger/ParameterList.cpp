// ParameterList.cpp - building parameter texts.
//
// Portable: no platform headers.
#include "Logger/ParameterList.h"

namespace Vorlix {

ParameterList& ParameterList::add(const std::string& value)
{
    encoded += 's';
    encoded += value;
    // A value that already ends in the separator closes its own entry.
    if (value.empty() || value.back() != SEPARATOR) {
        encoded += SEPARATOR;
    }
    return *this;
}

ParameterList& ParameterList::add(const char* value)
{
    return add(std::string(value != nullptr ? value : ""));
}

ParameterList& ParameterList::add(uint32_t value)
{
    return addNumber(static_cast<long long>(value));
}

ParameterList& ParameterList::add(int32_t value)
{
    return addNumber(value);
}

ParameterList& ParameterList::add(long value)
{
    return addNumber(value);
}

ParameterList& ParameterList::add(long long value)
{
    return addNumber(value);
}

ParameterList& ParameterList::addNumber(long long value)
{
    encoded += 'n';
    encoded += std::to_string(value);
    encoded += SEPARATOR;
    return *this;
}

} // namespace Vorlix
