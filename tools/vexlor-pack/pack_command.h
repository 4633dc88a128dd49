// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pack_options.h"

// What a successful pack made, for the technician.
struct PackReport {
    uint64_t programSize = 0;  // OUT's size
    uint64_t loadSize = 0;
    std::string handsetVersion;     // the two characters the version check compares
    bool droppedSignature = false;  // the program was signed; OUT, unless --sign signed it, is not
    // "Wrote OUT: ... bytes ..." and the handset version the load fits, in lines.
    std::string Text(const PackOptions& options) const;
    // For standard error: the program's signature was left out and OUT is unsigned. Empty otherwise.
    std::string SignatureNote(const PackOptions& options) const;
};

// Checks the inputs and writes the package. True when OUT was written (report then says what it
// is); otherwise error says why and OUT is left as it was. stop (when not null) turning true ends
// the writing early: the temporary file is removed and nothing is left behind.
bool RunPack(const PackOptions& options, std::string& error, PackReport& report,
             const std::atomic<bool>* stop = nullptr);

// RunPack, then the packed program's own check, as the copies --install and --setup make: 0 when
// both passed, else the exit status (130 after a stop, else 1) with the reason told on err.
int PackAndCheck(const PackOptions& options, PackReport& report, const std::atomic<bool>* stop, std::FILE* err);
