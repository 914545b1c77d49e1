// TestMain.cpp - GoogleTest entry shared by every test program.
//
// Win32-only test code.
#include "Foundation/Win32.h"

#include <gtest/gtest.h>

namespace {

// Wine: a test program whose stack overflows ends with exit code 0, and CTest then reports it as
// passed after the tests it ran until then. The overflow ends the program with its own code
// instead (0xC00000FD; a shell sees 253).
LONG WINAPI endOnStackOverflow(EXCEPTION_POINTERS* info)
{
    if (info != nullptr && info->ExceptionRecord != nullptr &&
        info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        TerminateProcess(GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

int main(int argc, char** argv)
{
    AddVectoredExceptionHandler(1, endOnStackOverflow);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
