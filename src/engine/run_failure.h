// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "serial/port_failure.h"

// What a failed run knows beyond its status code, for the user: why the port could not be
// used, and the two versions of a version mismatch. Empty fields: nothing more to tell.
struct RunFailure {
    PortFailure port;
    std::string handsetVersion;  // as the handset reported it ("%d%d")
    std::string loadVersion;     // as the load's version text gives it

    bool HasVersions() const { return !handsetVersion.empty() || !loadVersion.empty(); }
};
