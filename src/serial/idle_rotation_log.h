// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstdint>

// A quiet look that may last hours (a station's port waiting for a handset) goes through the
// rates every couple of seconds, and each rate opens the port, sends the detection packet and
// closes it again: some fifteen lines at level 3, more at level 5, a quarter of a gigabyte a
// day a port. The listener logs the first rotation in full; while later rotations go as the one
// before went (nothing came, no new error), their lines are held back, with one line a minute
// saying so. Whatever differs (bytes, an answer, an error not seen before) is logged in full,
// and so is the rotation after it. Used by the listener thread only.
class IdleRotationLog {
public:
    // A new rotation of the rates begins (not the first). quiet: the look may last hours.
    void RotationBegins(const char* port, bool quiet);
    // Something came or failed: logged in full from here on, and the next rotation too.
    void Eventful();
    // An opening failed with error: eventful unless it is the failure of the rotations before.
    void OpeningFailed(int error);
    // The listener ends: what was held back is told, and the thread's lines are let through.
    void End(const char* port);

private:
    void Hold(bool on);

    bool m_holding = false;
    bool m_eventful = false;
    int m_openError = 0;
    uint32_t m_rotations = 0;  // rotations held back since the last line
    uint64_t m_held = 0;       // lines held back since the last line
    std::chrono::steady_clock::time_point m_toldAt{};
};
