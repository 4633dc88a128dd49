// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The command line of vexlor-chaos-relay.
struct RelayOptions {
    std::string device;  // the handset simulator's terminal
    uint64_t seed = 1;
    int percent = 4;        // chance that one piece of the handset's output is spoilt
    int maxDelayMs = 3000;  // longest hold of the delay fault
    std::string logFile;    // one line per fault (empty: none)
    bool help = false;
    bool version = false;  // --version: the program's own version
};

// Parses the arguments after the program name. Empty on success, else a one-line error.
std::string ParseRelayOptions(const std::vector<std::string>& args, RelayOptions& options);

const char* RelayHelpText();
