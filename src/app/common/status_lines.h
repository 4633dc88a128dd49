#pragma once
#include <cstdint>

// What a status code of a run shows and does: the string ID of its line (0 for a code the
// tool does not know, which gives an empty line) and whether it ends the run.
struct StatusLine {
    unsigned stringId = 0;
    bool final = false;
};

StatusLine StatusLineFor(uint32_t statusCode);
