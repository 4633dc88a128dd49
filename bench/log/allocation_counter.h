// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstddef>

// Counts every heap allocation of the process (malloc, calloc, realloc, and so operator new),
// so a benchmark can show that a path allocates nothing.
namespace allocation_counter {
extern std::atomic<size_t> g_count;
inline size_t Count() { return g_count.load(std::memory_order_relaxed); }
}  // namespace allocation_counter
