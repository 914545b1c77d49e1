// FuzzSupport.h - what the fuzz targets share: a property check that ends the run, and the fixed
// local zone.
//
// Portable test code, built only natively with libFuzzer. A target checks properties of what the
// library answers, not only that it answers: a violated property prints what failed and aborts, so
// libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace FuzzSupport {

[[noreturn]] inline void violated(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "property violated at %s:%d: %s\n", file, line, what);
    std::abort();
}

// The zone the Win32 tests fix: "VLX-2", two hours east of Greenwich, without daylight saving.
inline void fixZone()
{
    setenv("TZ", "VLX-2", 1);
}

// Printable form of a text for a failure message.
inline std::string shown(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        }
    }
    return out;
}

} // namespace FuzzSupport

#define FUZZ_REQUIRE(condition)                                                                              \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            FuzzSupport::violated(#condition, __FILE__, __LINE__);                                           \
        }                                                                                                    \
    } while (false)
