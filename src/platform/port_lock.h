// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>

#include "platform/file_holder.h"

namespace platform {

// Keeps a serial port for this process on the whole machine, across sessions and users: on
// Linux the serial lock file /run/lock/LCK..<device name> with the holder's PID in it (the
// convention minicom, picocom and cu honour), on Windows a mutex in the Global\ namespace named
// after the port.
//
// A run keeps the port from its first opening to its end, over every close and reopen inside
// it; the line keeps it while it is open. A port has one run at a time, in this process too;
// the run and its lines share the one lock, which goes when the last use ends. A run that finds the port held by
// another program keeps its place: the lock is then taken by its line's next successful opening and kept by the run.
class PortLock {
public:
    enum class Use {
        kRun,   // a run's reservation: kept registered even while another process holds the port
        kLine,  // an open line: registered only when taken
    };
    enum class Result {
        kTaken,   // this process holds the port now
        kHeld,    // another process holds it (HeldBy() names it where the system tells)
        kFailed,  // the lock could not be made (Error() says why)
    };

    PortLock() = default;
    ~PortLock();
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // device: the device path (Linux; a symlink leads to its device; on Windows "\\.\COMn");
    // port: its COM name where known (Windows keys the lock by it), else "". A second Take first
    // releases the first.
    Result Take(const std::string& device, const std::string& port, Use use);
    void Release();

    // Whether this object counts as a use (a run's reservation also while the port is held).
    bool Registered() const { return !m_key.empty(); }
    // Whether the process holds the machine's lock for this object's port now.
    bool Taken() const;
    const std::optional<Holder>& HeldBy() const { return m_holder; }
    int Error() const { return m_error; }
    // The lock file's path or the mutex's name, for messages.
    const std::string& Where() const { return m_where; }

    // After kHeld: whether the holder is another run of this tool (rather than a terminal
    // program, which a run waits for).
    bool HeldByAnotherRun() const;
    // The lock's path or name for a port (the same rule as Take).
    static std::string LockName(const std::string& device, const std::string& port);

private:
    std::string m_key;  // the registry's key while registered
    Use m_use = Use::kLine;
    std::optional<Holder> m_holder;
    int m_error = 0;
    std::string m_where;
    bool m_heldByRun = false;
};

}  // namespace platform
