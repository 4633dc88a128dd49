// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/common/resource_library.h"

// What the program runs on Windows: the log, one instance at a time, the language chosen at
// every start, the language library from the program's folder and the main window; the log
// closes at exit.
class CVexlorApp {
public:
    // The whole start-up; returns false, so that the program ends when it returns.
    bool InitInstance();
    // Closes the log. The program's exit status: 1 when the window could not be shown.
    int ExitInstance();
    // InitInstance, then ExitInstance.
    int Run();

private:
    CResourceLibrary m_library;
    int m_status = 0;
};
