// SPDX-License-Identifier: Apache-2.0
#include "app/window/program_icon.h"

#include <QtGlobal>

QIcon ProgramIcon() {
    // The resource file lives in this static library; the program must register it once.
    static const bool registered = [] {
        Q_INIT_RESOURCE(vexlor_window);
        return true;
    }();
    (void)registered;
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/vexlor/icons/vexlor-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
