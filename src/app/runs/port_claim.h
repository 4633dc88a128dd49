// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "platform/port_lock.h"

// One port a run asks for, from the name on the command line to the guard that keeps other runs
// off it: resolved through the port map (a device path names its COMn there), then kept for the
// whole run on the whole machine (a serial lock file; on Windows a global mutex), so that runs
// on different ports go side by side, whatever session or user starts them, and another run on
// the same port is refused, naming the holder. A port a terminal program has locked is claimed
// all the same: the run's line waits for that program to let go, then keeps the port.
class PortClaim {
public:
    enum class Outcome {
        kClaimed,     // in the port list and guarded by this process
        kAbsent,      // not in the port list (yet)
        kTwice,       // named before in this run
        kHeld,        // another run of this tool holds it
        kLockFailed,  // its lock could not be made
    };

    explicit PortClaim(std::string requested) : m_requested(std::move(requested)) {}
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

    // Looks the name up in the port map now. True (Port and Device known) when it is there.
    bool Resolve();
    // Takes the port's guard; call after Resolve succeeded.
    Outcome Guard();
    // Marks the claim refused because an earlier claim has the same port.
    void RefuseAsTwice();
    // Marks the claim refused because the port never came (after Resolve failed for good).
    void RefuseAsAbsent(std::string why);

    Outcome Result() const { return m_outcome; }
    bool Resolved() const { return !m_port.empty(); }
    bool Claimed() const { return m_outcome == Outcome::kClaimed; }
    const std::string& Requested() const { return m_requested; }
    // COMn once resolved, else the name as requested.
    const std::string& Port() const { return m_port.empty() ? m_requested : m_port; }
    const std::string& Device() const { return m_device; }
    // Why the claim was refused, in a sentence ("" when claimed).
    const std::string& Why() const { return m_why; }
    // Who holds the port, for kHeld: "vexlor, PID 1234" ("" when the system does not say).
    const std::string& Holder() const { return m_holder; }

private:
    std::string m_requested;
    std::string m_port;
    std::string m_device;
    std::string m_why;
    std::string m_holder;
    Outcome m_outcome = Outcome::kAbsent;
    platform::PortLock m_lock;
};
