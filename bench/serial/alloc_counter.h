#pragma once

// Counts heap allocations per thread and for the whole process: every malloc-family call
// (Qt containers and C libraries allocate with malloc) and, apart, every operator new.
// Threads that play the far end of the line opt out, so the figures show only what the
// serial code under test allocates.

#include <cstdint>

namespace bench {

struct AllocationCount {
    std::uint64_t heap = 0; // malloc, calloc, realloc, aligned forms (operator new too)
    std::uint64_t operatorNew = 0;
};

// Allocations so far by every thread that has not opted out.
[[nodiscard]] AllocationCount processAllocations();
// Allocations so far by the calling thread.
[[nodiscard]] AllocationCount threadAllocations();
// The calling thread's allocations are left out of processAllocations() from now on.
void excludeThisThreadFromCount();

[[nodiscard]] inline AllocationCount operator-(AllocationCount a, AllocationCount b) {
    return {a.heap - b.heap, a.operatorNew - b.operatorNew};
}
[[nodiscard]] inline AllocationCount operator+(AllocationCount a, AllocationCount b) {
    return {a.heap + b.heap, a.operatorNew + b.operatorNew};
}

} // namespace bench
