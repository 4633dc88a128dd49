// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "handset_config.h"

// The simulator's command line.
struct SimOptions {
    HandsetConfig handset;
    HandsetTimes times;  // the first handset's turn on a bench
    // --then: the handsets plugged in after it, in turn, each with its own knobs and times.
    std::vector<BenchHandset> nextHandsets;

    std::string registerFile;  // .reg file to map the terminal to comName in (empty: none)
    std::string comName;
    std::string imageOut;  // where the received load is written (empty: nowhere)
    std::string logFile;   // trace of every byte received and sent (empty: none)

    std::optional<uint32_t> onlyBaud;  // answer only while the tool's line rate is this
    uint32_t lineLatencyMs = 20;       // bytes are judged this long after they arrive
    uint32_t throttleBaud = 0;         // pace the line at this rate (0: as fast as possible)
    uint32_t pieceBytes = 0;           // send each answer in pieces of this many bytes (0: whole)
    uint32_t piecePauseMs = 0;         // with this pause between the pieces
    bool silent = false;               // never answer
    bool exitAfterReset = false;       // end after acknowledging a reset
    // The bench's own ESNs: handset N of the sequence without an --esn of its own has esnBase + N
    // (the program takes the base from its terminal's number, the in-process line from a count
    // of lines), so two simulated handsets never share one by chance.
    uint32_t esnBase = 0x9F000000;
    bool help = false;
    bool version = false;  // --version: the program's version

    // True when bytes that crossed the line at rate reach the handset as bytes, not noise: the
    // --only-baud rate, else one of the three rates a handset's line runs at.
    bool HearsAt(std::optional<uint32_t> rate) const;
};

// Parses the arguments after the program name. Empty on success, else a one-line error.
std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options);

// The --help text.
std::string SimHelpText();
