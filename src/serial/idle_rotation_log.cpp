// SPDX-License-Identifier: Apache-2.0
#include "serial/idle_rotation_log.h"

#include "log/log.h"

namespace {
constexpr const char* kSource = "CSerialIO::ThreadProc";
// While nothing changes, one line this often says the look goes on.
constexpr std::chrono::seconds kLineEvery{60};
}  // namespace

void IdleRotationLog::Hold(bool on) {
    m_held += LogHeldLines();
    LogHoldThread(on);
    m_holding = on;
}

void IdleRotationLog::RotationBegins(const char* port, bool quiet) {
    const bool hold = quiet && !m_eventful;
    m_eventful = false;
    if (!hold) {
        if (m_holding) Hold(false);
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_holding) {
        Hold(false);
        LogWritePort(LOG_WRN, port, kSource,
                     "No handset answered at any rate; while nothing changes, the lines of the next rotations are "
                     "held back (a line a minute).");
        m_rotations = 0;
        m_held = 0;
        m_toldAt = now;
        Hold(true);
    } else if (now - m_toldAt >= kLineEvery) {
        Hold(false);
        LogWritePort(LOG_WRN, port, kSource, "Still no handset: %u rotations without an answer, %llu lines held back.",
                     static_cast<unsigned>(m_rotations), static_cast<unsigned long long>(m_held));
        m_rotations = 0;
        m_held = 0;
        m_toldAt = now;
        Hold(true);
    }
    ++m_rotations;
}

void IdleRotationLog::Eventful() {
    m_eventful = true;
    if (m_holding) Hold(false);
}

void IdleRotationLog::OpeningFailed(int error) {
    if (error != m_openError) Eventful();
    m_openError = error;
}

void IdleRotationLog::End(const char* port) {
    if (!m_holding) return;
    Hold(false);
    LogWritePort(LOG_WRN, port, kSource, "The look ends: %u rotations without an answer, %llu lines held back.",
                 static_cast<unsigned>(m_rotations), static_cast<unsigned long long>(m_held));
}
