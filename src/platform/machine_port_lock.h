// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_holder.h"

namespace platform {

// The machine-wide lock of one port, as the OS keeps it (a serial lock file, a global mutex),
// without the process's own bookkeeping of who inside it uses the port (PortLock does that).
class MachinePortLock {
public:
    enum class Result { kTaken, kHeld, kFailed };

    MachinePortLock() = default;
    ~MachinePortLock() { Release(); }
    MachinePortLock(const MachinePortLock&) = delete;
    MachinePortLock& operator=(const MachinePortLock&) = delete;

    // The key all uses of one port share: the device's real path (Linux), or the upper-case COM
    // name (Windows: port, else the device's name less "\\.\").
    static std::string KeyOf(const std::string& device, const std::string& port);
    // The lock file's path or the mutex's name for a key.
    static std::string NameOf(const std::string& key);

    // Takes the lock for key without waiting. For kHeld: holder, who has it where the system
    // tells, and byRun, whether that is another run of this tool (on Linux terminal programs
    // hold serial lock files too; on Windows only this tool's runs make the mutex); error: the
    // system error of kFailed.
    Result TryTake(const std::string& key, std::optional<Holder>& holder, bool& byRun, int& error);
    // Who holds key's lock now, when that is another process the system names (nothing on
    // Windows, whose mutex names nobody).
    static std::optional<Holder> HolderOf(const std::string& key);
    void Release();
    bool Taken() const { return m_taken; }

private:
    bool m_taken = false;
    std::string m_name;      // the lock file or mutex
    intptr_t m_handle = -1;  // the lock file's descriptor (locked: the mark of a run), or the mutex
};

}  // namespace platform
