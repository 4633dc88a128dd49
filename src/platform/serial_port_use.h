// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>

#include "platform/file_holder.h"

namespace platform {

// Whether a port of the port map can be used now, as far as the system tells.
struct SerialPortUse {
    enum class State {
        kFree,      // nothing in the way
        kMissing,   // the device is not there
        kNoAccess,  // this user may not open it
        kHeld,      // another program has it open
        kFailed,    // it cannot be opened for another reason (error)
    };
    State state = State::kFree;
    std::optional<Holder> holder;  // who holds it, where the system tells
    int error = 0;                 // the system error of kFailed
};

// devicePath and port are a port map entry (value name and data). On Linux the device is only
// looked at, never opened (an opening can reset a device): its permissions and the locks of
// programs that mark their use. Windows keeps no such marks and names no holder: the port is
// opened for a moment, the way any program would, and closed at once; a refusal then means
// "held" unless the device's security descriptor keeps this user out.
SerialPortUse LookAtSerialPort(const std::string& devicePath, const std::string& port);

}  // namespace platform
