#pragma once

// Included by one file of a benchmark program: counts every malloc, calloc and realloc of the process, the
// libraries' and the GL driver's included, on its way to glibc.

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
}

inline std::atomic<long> mallocCount{0};

extern "C" void* malloc(std::size_t size) {
    mallocCount.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    mallocCount.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
    mallocCount.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
