// SPDX-License-Identifier: Apache-2.0
#include "app/window/notify_event.h"

#include <QCoreApplication>

QEvent::Type CNotifyEvent::Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void CQtNotifyTarget::Post(uint32_t message, uintptr_t wParam) {
    QCoreApplication::postEvent(m_receiver, new CNotifyEvent(message, wParam));
}
