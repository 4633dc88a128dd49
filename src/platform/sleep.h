// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace platform {

// The factor from VEXLOR_TIME_SCALE (a positive decimal; 1 when unset or invalid).
// Read once per process: tests set it before the first pause.
double TimeScale();

// One of the tool's fixed pauses or time-outs in milliseconds, scaled by TimeScale().
// A non-zero pause never scales down to 0, so a wait still yields the processor.
int ScaledMs(int ms);

// A wait for the handset's response, scaled as ScaledMs but never below kLeastResponseWaitMs
// (or ms itself, when shorter): the handset's and the machine's own latency does not shrink with
// the time scale, and a response that came just after a shortened wait would be taken by the
// next command as its own.
inline constexpr int kLeastResponseWaitMs = 300;
int ScaledResponseWaitMs(int ms);

// Pauses the calling thread for ScaledMs(ms) milliseconds.
void Sleep(int ms);

}  // namespace platform
