// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/run_failure.h"

// Texts by string ID: the language library's lookup, or anything standing in for it.
using TextLookup = std::function<std::string(unsigned id)>;

// What a status code of a run shows and does: the string ID of its line (0 for a code the
// tool does not know, which gives an empty line) and whether it ends the run. Each code keeps
// the ID every language library is built to; what that text does not tell comes on the line
// under it (FailureDetailLine).
struct StatusLine {
    unsigned stringId = 0;
    bool final = false;
};

StatusLine StatusLineFor(uint32_t statusCode);

// The text of a status line.
std::string StatusLineBody(uint32_t statusCode, const TextLookup& text);
// The same, for a final status with what the run knows of its failure: a version mismatch says
// both versions on the status line itself (where a row cut short still shows it), not the
// advice to switch the handset off and on, which cannot help there.
std::string StatusLineBody(uint32_t statusCode, const RunFailure& failure, const TextLookup& text);

// The line of a stopped run: that it stopped, and what to do with the handset now.
std::string StoppedLine(const TextLookup& text);

// The line under a failure status ("" when there is nothing more to tell, or the language
// library has no text for it): why the port could not be used (with the port's name, its
// device, the system's error text and a hint), else what the status line's shared text leaves
// open (a handset already in download mode, the end of the download or the NAND write refused,
// and for a version mismatch what to do instead).
std::string FailureDetailLine(uint32_t statusCode, const RunFailure& failure, const std::string& portName,
                              const TextLookup& text);

// The line told while a run waits for a port another program holds.
std::string PortBusyLine(const PortFailure& holder, const std::string& portName, const TextLookup& text);

// The message of a failed package check. A program that carries no load at all (programPath)
// says so, not that it is damaged, with the command that packs one into it; a damaged one gives
// the check's fixed text.
std::string PackageCheckMessage(bool carriesNoPackage, const std::string& programPath, const TextLookup& text);
