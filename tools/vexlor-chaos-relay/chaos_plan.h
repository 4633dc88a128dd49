// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Decides, for each piece of the handset's output, whether the line spoils it and how. Seeded:
// the same seed gives the same decisions for the same pieces, so a failing soak run can be
// replayed.
class ChaosPlan {
public:
    enum class Fault { None, Garbage, Drop, Corrupt, Duplicate, Delay, Disconnect };

    struct Decision {
        Fault fault = Fault::None;
        int delayMs = 0;   // Delay: how long the piece (and all that follows) is held back
        std::string note;  // what was done, for the trace
    };

    // percent: the chance, 0 to 100, that a piece is spoilt. maxDelayMs: the longest hold.
    ChaosPlan(uint64_t seed, int percent, int maxDelayMs);

    // Maybe spoils piece in place: random bytes inserted, bytes dropped, one byte altered, the
    // piece sent twice; or asks for a hold or for the line to be dropped (piece then unsent).
    Decision Apply(std::vector<uint8_t>& piece);

    static const char* FaultName(Fault fault);

private:
    size_t Below(size_t limit);  // uniform in [0, limit)

    std::mt19937_64 m_random;
    int m_percent;
    int m_maxDelayMs;
};
