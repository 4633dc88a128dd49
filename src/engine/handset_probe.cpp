// SPDX-License-Identifier: Apache-2.0
#include "engine/handset_probe.h"

#include <algorithm>

#include "engine/handset_info.h"
#include "log/log.h"
#include "serial/handset_identity.h"
#include "serial/serial_port_list.h"

namespace {

constexpr const char* kSource = "CHandsetProbe::Look";
// How often a look wakes by itself to see whether the port went (a stop wakes it at once): a
// waiting port costs next to nothing.
constexpr std::chrono::milliseconds kSlice{1000};
// A look over every rate of the rotation has sent this many detection packets: the fourth goes
// out only once the third one's reply window has passed.
constexpr uint32_t kProbesPerRotation = 4;
// A wait without bound (a station's port waiting for a handset, maybe for hours) rests this long
// between rotations: a handset put on the port in a swap is found within about a second.
constexpr int kWaitingRotationRestMs = 500;
// Once nobody has put a handset on the port for this long (the bench is left alone, not in the
// middle of a swap), the rest grows: a waiting port's cost is its openings, and a technician who
// comes back finds it about a second later at most, where dozens of idle ports cost half as much.
constexpr std::chrono::seconds kLongWaitAfter{10};
constexpr int kLongWaitRotationRestMs = 2000;

bool Known(EPhoneMode mode) { return mode == PHONE_MODE_DS || mode == PHONE_MODE_DIAG || mode == PHONE_MODE_DL; }

}  // namespace

const char* ModeWord(EPhoneMode mode) {
    switch (mode) {
    case PHONE_MODE_DS: return "ds";
    case PHONE_MODE_DIAG: return "diag";
    case PHONE_MODE_DL: return "dl";
    default: return "";
    }
}

CHandsetProbe::CHandsetProbe(std::unique_ptr<platform::SerialLine> line) : m_link(std::move(line)) {}

void CHandsetProbe::SetStopRequest(const std::atomic<int32_t>* stop) {
    m_stop = stop;
    m_link.SetStopRequest(stop);
}

ProbeResult CHandsetProbe::WaitForAnswer(const std::string& port, std::optional<std::chrono::milliseconds> bound,
                                         bool identify) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (bound) deadline = std::chrono::steady_clock::now() + *bound;
    return Watch(port, deadline, false, identify);
}

ProbeResult CHandsetProbe::Look(const std::string& port, bool identify) {
    return Watch(port, std::nullopt, true, identify);
}

ProbeResult CHandsetProbe::Watch(const std::string& port, std::optional<std::chrono::steady_clock::time_point> deadline,
                                 bool oneRotation, bool identify) {
    using Kind = ProbeResult::Kind;
    ProbeResult result;
    if (StopRequested()) {
        result.kind = Kind::kStopped;
        return result;
    }
    // A port that is not in the list is not opened at all: nothing to wait on but its return.
    if (DevicePathOf(port.c_str()).empty()) {
        result.kind = Kind::kAbsent;
        result.failure.kind = PortFailure::Kind::kAbsent;
        return result;
    }
    m_link.SetRotationRest(deadline || oneRotation ? 0 : kWaitingRotationRestMs);
    if (m_link.OpenComport("Handset probe", port.c_str()) < 0) {
        result.kind = Kind::kUnusable;
        result.failure.kind = PortFailure::Kind::kOther;
        result.failure.error = m_link.LastError();
        return result;
    }
    const uint32_t probesBefore = m_link.ProbesSent();
    const auto watchStart = std::chrono::steady_clock::now();
    bool longWait = false;
    for (;;) {
        // The count first: a rotation that has passed with the mode still unknown went unanswered.
        const bool rotated = m_link.ProbesSent() - probesBefore >= kProbesPerRotation;
        result.mode = m_link.Mode();
        if (Known(result.mode)) {
            result.kind = Kind::kAnswered;
            break;
        }
        if (m_link.IsPortUnusable()) {
            result.kind = Kind::kUnusable;
            result.failure = m_link.DetectionFailure();
            break;
        }
        if (m_link.DeviceMissing()) {
            result.kind = Kind::kAbsent;
            result.failure.kind = PortFailure::Kind::kAbsent;
            break;
        }
        if (StopRequested()) {
            result.kind = Kind::kStopped;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if ((oneRotation && rotated) || (deadline && now >= *deadline)) break;
        if (!deadline && !oneRotation && !longWait && now - watchStart >= kLongWaitAfter) {
            longWait = true;
            m_link.SetRotationRest(kLongWaitRotationRestMs);
        }
        auto wait = kSlice;
        if (deadline) wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*deadline - now));
        m_link.WaitModeDecidedFor(wait);
    }
    if (result.kind != Kind::kAnswered) result.mode = PHONE_MODE_UNKNOWN;
    if (result.mode == PHONE_MODE_DIAG) result.platform = AskPlatformText(m_link);
    if (identify && result.kind == Kind::kAnswered) result.esn = AskEsn(m_link);
    if (result.kind == Kind::kAnswered) {
        const std::string esn = result.esn ? ", ESN " + EsnText(*result.esn) : std::string();
        LogWritePort(LOG_WRN, m_link.PortName(), kSource, "A handset answers in mode %s%s%s%s.", ModeWord(result.mode),
                     result.platform.empty() ? "" : ", platform ", result.platform.c_str(), esn.c_str());
    }
    m_link.CloseCOMPort();
    return result;
}
