// Heap allocations counted while armed (bench/alloc_hook.cpp).
#pragma once

#include <cstdint>

namespace caplib_bench {
void arm_allocation_count();
// Stops counting; returns the allocations since arming.
uint64_t disarm_allocation_count();
}  // namespace caplib_bench
