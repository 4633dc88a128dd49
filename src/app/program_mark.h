// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The program mark: a byte string only the vexlor program carries whole, by which vexlor-pack
// tells the program it is given from any other file. It is kept here masked. program_mark.cpp
// unmasks it at compile time into the program's image; everyone else rebuilds it at run time, so
// their own images never hold it (vexlor-pack must not pass for a vexlor program).
inline constexpr uint8_t kProgramMarkMask = 0x5C;
inline constexpr std::array<uint8_t, 32> kProgramMarkMasked = {
    0x5C, 0x0A, 0x19, 0x04, 0x10, 0x13, 0x0E, 0x71, 0x0C, 0x0E, 0x13, 0x1B, 0x0E, 0x1D, 0x11, 0x71,
    0x11, 0x1D, 0x0E, 0x17, 0x5C, 0x28, 0x28, 0x82, 0x98, 0xD5, 0x41, 0x19, 0x10, 0x57, 0xDB, 0x6C,
};

// The mark, rebuilt at run time. The mask is read through a volatile so the compiler cannot fold
// the result into a constant of the caller's image.
inline std::string ProgramMark() {
    static volatile uint8_t mask = kProgramMarkMask;
    const uint8_t key = mask;
    std::string mark(kProgramMarkMasked.size(), '\0');
    for (size_t i = 0; i < mark.size(); ++i) mark[i] = static_cast<char>(kProgramMarkMasked[i] ^ key);
    return mark;
}
