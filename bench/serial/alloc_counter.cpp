#include "alloc_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <new>

// glibc's own entry points: the wrappers below take the public names for the whole process.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);
}

namespace {
std::atomic<std::uint64_t> processHeap{0};
std::atomic<std::uint64_t> processNew{0};
// Plain thread_local PODs of the executable live in static TLS: no allocation to reach them.
thread_local std::uint64_t threadHeap = 0;
thread_local std::uint64_t threadNew = 0;
thread_local bool excluded = false;

void countHeap() {
    ++threadHeap;
    if (!excluded)
        processHeap.fetch_add(1, std::memory_order_relaxed);
}

void* newOrThrow(std::size_t size, std::size_t alignment) {
    ++threadNew;
    if (!excluded)
        processNew.fetch_add(1, std::memory_order_relaxed);
    if (size == 0)
        size = 1;
    countHeap();
    void* p = alignment > alignof(std::max_align_t) ? __libc_memalign(alignment, size)
                                                    : __libc_malloc(size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
} // namespace

namespace bench {
AllocationCount processAllocations() {
    return {processHeap.load(std::memory_order_relaxed),
            processNew.load(std::memory_order_relaxed)};
}
AllocationCount threadAllocations() {
    return {threadHeap, threadNew};
}
void excludeThisThreadFromCount() {
    excluded = true;
}
} // namespace bench

extern "C" {
void* malloc(std::size_t size) {
    countHeap();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    countHeap();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    countHeap();
    return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    countHeap();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    countHeap();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    countHeap();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}
void free(void* p) {
    __libc_free(p);
}
}

void* operator new(std::size_t size) {
    return newOrThrow(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size) {
    return newOrThrow(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t al) {
    return newOrThrow(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al) {
    return newOrThrow(size, static_cast<std::size_t>(al));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return newOrThrow(size, alignof(std::max_align_t));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return newOrThrow(size, alignof(std::max_align_t));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    __libc_free(p);
}
void operator delete[](void* p) noexcept {
    __libc_free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    __libc_free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    __libc_free(p);
}
