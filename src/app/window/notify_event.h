// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QEvent>
#include <cstdint>

#include "platform/notify_target.h"

class QObject;

// A message from a background thread (WM_DL_STATUS, WM_DL_PROGRESS), delivered to a window as
// a queued event, so that its handler runs on the user-interface thread in posting order.
class CNotifyEvent : public QEvent {
public:
    CNotifyEvent(uint32_t message, uintptr_t wParam) : QEvent(Type()), m_message(message), m_wParam(wParam) {}

    static QEvent::Type Type();
    uint32_t Message() const { return m_message; }
    uintptr_t WParam() const { return m_wParam; }

private:
    uint32_t m_message;
    uintptr_t m_wParam;
};

// The engine's notification target for one window: Post may be called from any thread and
// queues a CNotifyEvent for the receiver. The receiver must outlive every thread that posts.
class CQtNotifyTarget : public platform::NotifyTarget {
public:
    explicit CQtNotifyTarget(QObject* receiver) : m_receiver(receiver) {}
    void Post(uint32_t message, uintptr_t wParam) override;

private:
    QObject* m_receiver;
};
