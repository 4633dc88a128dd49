// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/run_failure.h"

// Texts by string ID: the language library's lookup, or anything standing in for it.
using TextLookup = std::function<std::string(unsigned id)>;

// What a status code of a run shows and does: the string ID of its line (0 for a code the
// tool does not know, which gives an empty line) and whether it ends the run.
struct StatusLine {
    unsigned stringId = 0;
    bool final = false;
};

StatusLine StatusLineFor(uint32_t statusCode);

// The text of a status line: its string, or for a version mismatch the text naming both versions.
std::string StatusLineBody(uint32_t statusCode, const RunFailure& failure, const TextLookup& text);

// The line that says why the port could not be used ("" when the failure says nothing of the
// port): with the port's name, its device, the system's error text and a hint.
std::string PortFailureLine(const RunFailure& failure, const std::string& portName, const TextLookup& text);
