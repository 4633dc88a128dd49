// SPDX-License-Identifier: Apache-2.0
#include "app/win32/window_main.h"

#include <windows.h>
#include <commctrl.h>

#include "app/win32/vexlor_app.h"

namespace {

// vexlor.exe is a console program, so that --cli writes to the cmd window it runs in. Started
// from Explorer it gets a console of its own, which the window does not need: let it go. A
// console that others share (cmd) stays.
void ReleaseOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

}  // namespace

int RunWindowApplication(int, char**, StartWindow window) {
    ReleaseOwnConsole();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CVexlorApp app(window);
    return app.Run();
}
