// SPDX-License-Identifier: Apache-2.0
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace allocation_counter {
std::atomic<size_t> g_count{0};
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers own malloc: count operator new only.
void* operator new(size_t size) {
    allocation_counter::g_count.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#else
// glibc lets a program replace malloc; its own entry points do the work. operator new and the
// C library's internal allocations all come through here.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t size) {
    allocation_counter::g_count.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    allocation_counter::g_count.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    allocation_counter::g_count.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
}
#endif
