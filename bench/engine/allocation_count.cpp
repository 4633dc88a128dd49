// SPDX-License-Identifier: Apache-2.0
#include "allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Replaces the global operator new so the benchmark can show that the packet loop allocates
// nothing; every form of new ends up in these two.
namespace {
std::atomic<uint64_t> g_allocations{0};
}

uint64_t AllocationCount() { return g_allocations.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
