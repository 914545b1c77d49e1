// FixedZone.h - the local zone of the tests that print or parse local time.
//
// Portable test code. "VLX-2" is two hours east of Greenwich, without daylight saving; it is set
// in TZ before the first DateTime initialises the runtime's zone. Register once per test program
// with AddGlobalTestEnvironment.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

namespace TestSupport {

class FixedZone : public ::testing::Environment {
public:
    void SetUp() override
    {
#ifdef _WIN32
        _putenv("TZ=VLX-2");
#else
        setenv("TZ", "VLX-2", 1);
#endif
    }
};

} // namespace TestSupport
