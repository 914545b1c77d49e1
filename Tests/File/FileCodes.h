// FileCodes.h - the code of the FileException an action throws, for the file object tests.
//
// Portable test code.
#pragma once

#include "Foundation/Exception.h"

#include <cstdint>
#include <functional>

// The FileException code that `action` throws; -1 when it throws none.
inline int32_t codeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Vorlix::FileException& e) {
        return e.code();
    }
    return -1;
}
