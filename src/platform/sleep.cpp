// SPDX-License-Identifier: Apache-2.0
#include "platform/sleep.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace platform {

namespace {
double ReadScale() {
    const char* text = std::getenv("VEXLOR_TIME_SCALE");
    if (!text || !*text) return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 1000.0) return 1.0;
    return value;
}
}  // namespace

double TimeScale() {
    static const double scale = ReadScale();
    return scale;
}

int ScaledMs(int ms) {
    if (ms <= 0) return ms;
    double scaled = std::ceil(ms * TimeScale());
    if (scaled > 2147483647.0) return 2147483647;
    return scaled < 1.0 ? 1 : static_cast<int>(scaled);
}

int ScaledResponseWaitMs(int ms) {
    const int least = ms < kLeastResponseWaitMs ? ms : kLeastResponseWaitMs;
    const int scaled = ScaledMs(ms);
    return scaled < least ? least : scaled;
}

void Sleep(int ms) {
    int scaled = ScaledMs(ms);
    if (scaled > 0) std::this_thread::sleep_for(std::chrono::milliseconds(scaled));
}

}  // namespace platform
