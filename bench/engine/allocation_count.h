// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// Heap allocations made through operator new by every thread of this process so far.
uint64_t AllocationCount();
