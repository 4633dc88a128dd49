// SPDX-License-Identifier: Apache-2.0
#include "app/window/window_main.h"

#include <QApplication>

#include "app/window/program_icon.h"
#include "app/window/vexlor_app.h"

int RunWindowApplication(int argc, char** argv, StartWindow window) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexlor"));
    QApplication::setWindowIcon(ProgramIcon());
    CVexlorApp theApp(window);
    return theApp.Run();
}
