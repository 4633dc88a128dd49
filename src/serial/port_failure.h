// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// Why the channel could not use its port, for the user's eyes: the system's own error and,
// for a port in use, the program that holds it.
struct PortFailure {
    enum class Kind {
        kNone,       // the port could be used
        kAbsent,     // the device was never there (or not in the port list)
        kNoAccess,   // this user may not open it
        kInUse,      // another program holds it
        kNotSerial,  // not a terminal
        kOther,      // it could not be opened for another reason, every time
        kNoAnswer,   // it opened, but no handset answered
        kGone,       // it went away in the middle of the run (unplugged, switched off)
    };
    Kind kind = Kind::kNone;
    int error = 0;       // the system's error number (0 for kNoAnswer)
    std::string device;  // the device tried; empty when the port name is not in the port list
    int holderPid = 0;   // kInUse: the holder, where the system can tell
    std::string holderName;
};
