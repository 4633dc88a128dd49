// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>

namespace platform {

// A process that holds a device or a lock file, as far as the system lets this user see.
struct Holder {
    int pid = 0;
    std::string name;  // the program's name, as the system reports it
};

// Who holds path: first the lock table (which also shows other users' processes that locked
// it), then, for a device, the open files of the processes this user may look into. This
// process is never named. Nothing when the system cannot tell.
std::optional<Holder> FindHolder(const std::string& path);

// Only the holders that marked their use, without looking into anybody's open files: a lock on
// path itself (as this tool takes), or a serial lock file /var/lock/LCK..<name> (or under
// /run/lock) of a process that still runs, as minicom, picocom and cu leave one.
std::optional<Holder> FindLockHolder(const std::string& path);

// True when this user may open path for reading and writing (a look that does not open it).
bool MayReadAndWrite(const std::string& path);

}  // namespace platform
