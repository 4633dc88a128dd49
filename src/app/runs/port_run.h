// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/runs/message_queue.h"
#include "app/runs/port_claim.h"
#include "app/runs/port_worker.h"
#include "app/runs/transfer_estimate.h"
#include "engine/run_failure.h"
#include "platform/local_time.h"
#include "serial/phone_mode.h"

// One port's run as the headless front end follows it: its worker (with its own stream of
// messages), where it stands, and how it ended.
struct PortRun {
    enum class Result {
        kRunning,
        kDone,
        kFailed,
        kEmpty,  // --all-ports: no handset answered on the port (a port with nothing on it)
        kStopped,
        kRefused,
    };

    PortRun(const PortClaim& claim, MessageQueue& queue, uint32_t source, uint64_t loadSize)
        : claim(claim), target(queue, source), loadSize(loadSize), estimate(loadSize) {}
    PortRun(const PortRun&) = delete;
    PortRun& operator=(const PortRun&) = delete;

    const std::string& Port() const { return claim.Port(); }
    const std::string& Device() const { return claim.Device(); }
    bool Ended() const { return result != Result::kRunning; }
    // Load bytes sent so far (0 for a refused port).
    uint64_t Bytes() const { return worker ? worker->BytesSent() : 0; }
    // What the handset has confirmed of them: the transfer's estimate is made of these.
    uint64_t ConfirmedBytes() const { return worker ? worker->BytesConfirmed() : 0; }
    // Every load byte is with the handset: it is committing the load and restarting.
    bool Committing() const { return loadSize > 0 && (percent >= 100 || Bytes() >= loadSize); }
    // Seconds from the start to the end (or to now while running).
    double Seconds() const;
    // Average payload rate over the whole run, bytes a second.
    double AverageRate() const;

    const PortClaim& claim;
    TaggedTarget target;
    uint64_t loadSize;
    std::shared_ptr<PortWorker> worker;  // null for a refused port (shared with a station's loop)
    Result result = Result::kRunning;
    uint32_t lastStatus = 0;  // the latest status code, 0 before the first
    bool hasProgress = false;
    unsigned percent = 0;
    RunFailure failure;    // taken at the final status
    std::string notice;    // what the run waits for (a port another program holds)
    std::string stopping;  // a stop was asked and waits for the block being written: it says how long
    TransferEstimate estimate;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point end = start;
    platform::LocalTime startedAt = platform::Now();
    platform::LocalTime endedAt = startedAt;

    // One handset of a port, as records tell it.
    uint32_t sequence = 1;  // its number on the port (1, 2, ... at a station)
    // After the done status, whether it answered again (its restart confirmed); none where no
    // confirmation was asked (or before it was made).
    std::optional<bool> confirmed;
    EPhoneMode modeAfter = PHONE_MODE_UNKNOWN;  // the mode it answered in after the restart
    std::string platform;                       // the platform text it gave then (diagnostic mode)
    // Its ESN, once known (read on its way through diagnostic mode); none for a download-mode
    // start.
    std::optional<uint32_t> esn;
    // How its restart was confirmed: "esn" (the same ESN answered), "answer" (no identity to
    // read: the answer alone); empty when it was not.
    std::string confirmedBy;
    std::optional<uint32_t> otherEsn;  // not confirmed: another handset answered, with this ESN
    bool confirmStopped = false;       // the station was stopped while it was waited for
    bool recorded = false;             // its record (log line, report row) is written
    bool stored = false;               // its record is in the record store (or was lost there)
};

// The word a result goes by in summaries and records.
const char* ResultWord(PortRun::Result result);
