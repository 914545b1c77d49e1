// LogTestSupport.h - what the logging tests share: a fixed local zone, whole-file reads and the
// removal of product registry values.
//
// Win32-only test code.
#pragma once

#include "Foundation/SystemInfo.h"
#include "Foundation/Win32.h"

#include "FixedZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

namespace LogTest {

// Local time fixed by TZ before the first DateTime (FixedZone.h).
using TestSupport::FixedZone;

// A local date-time text with separators, as the log lines and notes write it.
constexpr const char* kTimePattern = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d";

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void deleteProductValues(std::initializer_list<std::string> names)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Vorlix::SystemInfo::productKey, 0, KEY_WRITE, &key) ==
        ERROR_SUCCESS) {
        for (const std::string& name : names) {
            RegDeleteValueA(key, name.c_str());
        }
        RegCloseKey(key);
    }
}

} // namespace LogTest
