// The number of operator new calls the test program has made so far (the
// global operators are replaced in allocation_count.cpp).
#pragma once

#include <cstddef>

namespace volume_test {
std::size_t AllocationCount();
}  // namespace volume_test
