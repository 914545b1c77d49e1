// WinMain.cpp - the configuration initializer's window-program entry.
//
// Win32 program code. The status of the run is the exit code.
#include "Sedrin/Initializer.h"

#include "Foundation/Win32.h"

#include <new>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR commandLine, int /*showState*/)
{
    try {
        Initializer initializer(commandLine != nullptr ? commandLine : "");
        return initializer.finish();
    } catch (...) {
        // Nothing escapes the entry. Only exhaustion can get here; the registry still says
        // what the last written status was.
        return Initializer::ST_SAVE_FAILED;
    }
}
