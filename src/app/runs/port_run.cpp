// SPDX-License-Identifier: Apache-2.0
#include "app/runs/port_run.h"

double PortRun::Seconds() const {
    const auto until = Ended() ? end : std::chrono::steady_clock::now();
    return std::chrono::duration<double>(until - start).count();
}

double PortRun::AverageRate() const {
    const double seconds = Seconds();
    return seconds > 0 ? static_cast<double>(Bytes()) / seconds : 0;
}

const char* ResultWord(PortRun::Result result) {
    switch (result) {
    case PortRun::Result::kRunning: return "running";
    case PortRun::Result::kDone: return "done";
    case PortRun::Result::kFailed: return "failed";
    case PortRun::Result::kEmpty: return "empty";
    case PortRun::Result::kStopped: return "stopped";
    case PortRun::Result::kRefused: return "refused";
    }
    return "?";
}
