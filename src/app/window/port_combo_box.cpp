// SPDX-License-Identifier: Apache-2.0
#include "app/window/port_combo_box.h"

void CPortComboBox::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}
