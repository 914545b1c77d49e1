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
        // Nothing escapes the entry. A run that ends here did not finish its saves, so the
        // registry must not keep the "0" written at the start.
        try {
            Initializer::recordStatus(Initializer::ST_SAVE_FAILED);
        } catch (...) {
            // The exit code still tells.
        }
        return Initializer::ST_SAVE_FAILED;
    }
}
