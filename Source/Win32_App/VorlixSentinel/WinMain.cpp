// WinMain.cpp - the watchdog's window-program entry and its hidden window.
//
// Win32 program code. The hidden window exists so that the system can deliver close and
// end-of-session messages; it is never shown.
#include "VorlixSentinel/Sentinel.h"

#include "Foundation/Win32.h"

#include <memory>
#include <string>

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION:
        PostQuitMessage(0);
        return TRUE;
    case WM_QUIT:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void createHiddenWindow(HINSTANCE instance, HINSTANCE previous)
{
    if (previous == nullptr) {
        WNDCLASSA windowClass{};
        windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszMenuName = "GenericAppMenu";
        windowClass.lpszClassName = "GenericAppClass";
        RegisterClassA(&windowClass); // a failure leaves the watchdog without window; it runs on
    }
    CreateWindowExA(0, "GenericAppClass", "Vorlix Sentinel", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                    nullptr);
}

// 0 when the run succeeded, 1 when it failed, -1 when the configuration failed. An unexpected
// failure counts against the step it escaped from; the shutdown sequence runs in every case.
int runSentinel(const char* commandLine)
{
    std::unique_ptr<Sentinel> sentinel;
    bool configured = false;
    try {
        sentinel = std::make_unique<Sentinel>(std::string("dummy") + (commandLine ? commandLine : ""));
        configured = sentinel->configure();
        if (!configured) {
            sentinel.reset(); // the full shutdown sequence runs before the exit
            return -1;
        }
        const bool ran = sentinel->run();
        sentinel.reset();
        return ran ? 0 : 1;
    } catch (...) {
        sentinel.reset();
        return configured ? 1 : -1;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int /*showState*/)
{
    createHiddenWindow(instance, previous);
    try {
        return runSentinel(commandLine);
    } catch (...) {
        // Nothing escapes the entry.
        return -1;
    }
}
