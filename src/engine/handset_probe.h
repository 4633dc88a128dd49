// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/ser_com_library.h"
#include "serial/port_failure.h"

// What a look at a port found.
struct ProbeResult {
    enum class Kind {
        kAnswered,  // a handset answered: its mode, and in diagnostic mode its platform text
        kSilent,    // nothing answered: within the bound, or over a whole rotation of the rates
        kAbsent,    // the port is not in the port list (a USB port unplugged)
        kUnusable,  // the port cannot be opened for a reason retrying soon will not change
        kStopped,   // the stop request came first
    };
    Kind kind = Kind::kSilent;
    EPhoneMode mode = PHONE_MODE_UNKNOWN;
    std::string platform;  // empty unless the handset answered in diagnostic mode and gave one
    // Its ESN, where the look asked for it (identify) and the handset gave it: the status reply
    // in diagnostic mode, AT+GSN in AT data mode; none in download mode.
    std::optional<uint32_t> esn;
    PortFailure failure;  // kAbsent, kUnusable: why
};

// Looks quietly for a handset on a port, as the listener's detection does (the detection packet
// at each rate of the rotation in turn), without downloading anything: the station's waiting,
// the confirmation of a restart and the watch for a handset's removal. The port is open only
// while a look lasts; every look closes it before it returns, so a download may take it next.
//
// Threads: one thread calls the looks; the stop request may be raised from any thread.
class CHandsetProbe {
public:
    explicit CHandsetProbe(std::unique_ptr<platform::SerialLine> line = platform::MakeSystemSerialLine());
    CHandsetProbe(const CHandsetProbe&) = delete;
    CHandsetProbe& operator=(const CHandsetProbe&) = delete;

    // A counter whose non-zero value ends a look (kStopped); null: never. Raising it ends the
    // look within a second; Wake then ends it at once.
    void SetStopRequest(const std::atomic<int32_t>* stop);
    // Any thread: a look that waits looks again at once (after the stop request was raised).
    void Wake() { m_link.WakeModeWaiter(); }
    // Told on the listener thread while another program holds the port (the look goes on).
    void SetPortNotice(CSerialIO::PortNotice notice) { m_link.SetPortNotice(std::move(notice)); }

    // Looks until a handset answers, for at most bound (none: until it answers or a stop);
    // identify: then asks its ESN too.
    ProbeResult WaitForAnswer(const std::string& port, std::optional<std::chrono::milliseconds> bound,
                              bool identify = false);
    // One look: until a handset answers, or every rate of the rotation went unanswered.
    ProbeResult Look(const std::string& port, bool identify = false);

private:
    ProbeResult Watch(const std::string& port, std::optional<std::chrono::steady_clock::time_point> deadline,
                      bool oneRotation, bool identify);
    bool StopRequested() const { return m_stop != nullptr && m_stop->load() != 0; }

    CSerCOMLibrary m_link;
    const std::atomic<int32_t>* m_stop = nullptr;
};

// The handset mode as records and lines name it: "ds", "diag", "dl"; "" for none.
const char* ModeWord(EPhoneMode mode);
