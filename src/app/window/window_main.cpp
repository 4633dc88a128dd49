// SPDX-License-Identifier: Apache-2.0
#include "app/window/window_main.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/common/exit_status.h"
#include "app/window/program_icon.h"
#include "app/window/vexlor_app.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Whether Qt will find somewhere to draw: an X or Wayland display, or a platform of
// QT_QPA_PLATFORM ("offscreen", "vnc:size=...", a list split by ';') that needs neither.
// Without one, Qt aborts in QApplication's constructor with a text about reinstalling.
bool DisplayFound() {
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return true;
    const char* platforms = std::getenv("QT_QPA_PLATFORM");
    if (platforms == nullptr) return false;
    std::string list = platforms;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(';', start), list.size());
        const std::string name = list.substr(start, std::min(list.find(':', start), end) - start);
        if (!name.empty() && name.rfind("xcb", 0) != 0 && name.rfind("wayland", 0) != 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

int RunWindowApplication(int argc, char** argv, StartWindow window) {
    if (!DisplayFound()) {
        std::fprintf(stderr,
                     "vexlor: no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window "
                     "cannot open.\nThe headless commands work without one: vexlor --cli --port COM3 (see "
                     "'vexlor --help').\n");
        return kExitUsage;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlor"));
    QApplication::setWindowIcon(ProgramIcon());
    CVexlorApp theApp(window);
    return theApp.Run();
}
