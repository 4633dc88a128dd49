// SPDX-License-Identifier: Apache-2.0
// The program mark, whole, in the vexlor program's image (see program_mark.h).
#include "app/program_mark.h"

#if defined(__GNUC__) || defined(__clang__)
#define VEXLOR_KEEP __attribute__((used))
#else
#define VEXLOR_KEEP
#endif

namespace {

constexpr std::array<uint8_t, kProgramMarkMasked.size()> Unmasked() {
    std::array<uint8_t, kProgramMarkMasked.size()> mark{};
    for (size_t i = 0; i < mark.size(); ++i) mark[i] = static_cast<uint8_t>(kProgramMarkMasked[i] ^ kProgramMarkMask);
    return mark;
}

}  // namespace

extern const std::array<uint8_t, kProgramMarkMasked.size()> kVexlorProgramMark;
VEXLOR_KEEP const std::array<uint8_t, kProgramMarkMasked.size()> kVexlorProgramMark = Unmasked();

namespace {

// Nothing in the program reads the mark, so its address is taken at start-up: a constant no one
// refers to may be dropped by link-time optimisation or by the linker's removal of unused data.
const uint8_t* volatile g_markAddress = nullptr;

struct MarkKeeper {
    MarkKeeper() { g_markAddress = kVexlorProgramMark.data(); }
} const g_markKeeper;

}  // namespace
