// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// Blowfish's starting subkeys and S-boxes, before any key is mixed in.
extern const uint32_t kBlowfishInitialP[18];
extern const uint32_t kBlowfishInitialS[4][256];
