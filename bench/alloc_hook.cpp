// Counts heap allocations while a benchmark arms the counter: malloc and
// its family are replaced for the whole benchmark program and forward to
// the C library's own functions; operator new goes through malloc.
#include "alloc_hook.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);
void __libc_free(void *);
}

namespace {
std::atomic<bool> g_armed{false};
std::atomic<uint64_t> g_count{0};

inline void count() {
    if (g_armed.load(std::memory_order_relaxed)) g_count.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

namespace caplib_bench {
void arm_allocation_count() {
    g_count = 0;
    g_armed = true;
}
uint64_t disarm_allocation_count() {
    g_armed = false;
    return g_count;
}
}  // namespace caplib_bench

extern "C" {
void *malloc(size_t n) {
    count();
    return __libc_malloc(n);
}
void *calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}
void *realloc(void *p, size_t n) {
    count();
    return __libc_realloc(p, n);
}
void *memalign(size_t align, size_t n) {
    count();
    return __libc_memalign(align, n);
}
void *aligned_alloc(size_t align, size_t n) {
    count();
    return __libc_memalign(align, n);
}
int posix_memalign(void **p, size_t align, size_t n) {
    count();
    *p = __libc_memalign(align, n);
    return *p ? 0 : 12;  // ENOMEM
}
void free(void *p) { __libc_free(p); }
}

void *operator new(size_t n) {
    void *p = malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void *operator new[](size_t n) { return operator new(n); }
void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
void operator delete[](void *p, size_t) noexcept { free(p); }
