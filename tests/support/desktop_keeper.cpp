// Keeps the test session's Wine desktop open between test programs.
//
// Wine closes a desktop, and ends the explorer process behind it, soon after
// the last program using it has ended, and starts both again for the next
// program. ctest runs one short test program after another, so every test
// used to start while the previous desktop was still shutting down; now and
// then a child process then failed to start or to make its window. This
// program holds one hidden window on the desktop for the whole session and
// ends when the session stops the wineserver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TestDesktopKeeper";
    if (!RegisterClassA(&windowClass)) return 1;
    // Never shown, so no test that looks for visible windows ever sees it.
    if (!CreateWindowExA(0, windowClass.lpszClassName, "Test desktop keeper", WS_POPUP, 0, 0, 1,
                         1, nullptr, nullptr, instance, nullptr))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
