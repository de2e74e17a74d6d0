// The large-page allocator: arrays on both sides of the size from which it
// maps, a vector growing across that size, and the mapping's alignment.
#include "large_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace boxfinder {
namespace {

struct alignas(64) Wide {
  double v[16];
};

TEST(LargePages, VectorKeepsItsElementsAsItGrowsFromTheHeapIntoMappings) {
  std::vector<Wide, LargePageAllocator<Wide>> v;
  const std::size_t count = 3 * LargePageAllocator<Wide>::kMapFrom / sizeof(Wide);
  for (std::size_t i = 0; i < count; ++i) {
    v.emplace_back();
    v.back().v[0] = static_cast<double>(i);
    v.back().v[15] = -static_cast<double>(i);
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(v.data()) % alignof(Wide), 0u);
  }
  for (std::size_t i = 0; i < count; ++i) {
    ASSERT_EQ(v[i].v[0], static_cast<double>(i));
    ASSERT_EQ(v[i].v[15], -static_cast<double>(i));
  }
  v.clear();
  v.shrink_to_fit();
  EXPECT_EQ(v.capacity(), 0u);
}

TEST(LargePages, MappingsStartOnALargePageAndAreZeroFilled) {
  LargePageAllocator<Wide> a;
  const std::size_t n = LargePageAllocator<Wide>::kMapFrom / sizeof(Wide) + 3;
  Wide* p = a.allocate(n);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % LargePageAllocator<Wide>::kMapFrom, 0u);
  EXPECT_EQ(p[0].v[0], 0.0);
  EXPECT_EQ(p[n - 1].v[15], 0.0);
  p[n - 1].v[15] = 1.0;
  a.deallocate(p, n);
  EXPECT_THROW(a.allocate(static_cast<std::size_t>(-1) / 8), std::bad_alloc);
}

}  // namespace
}  // namespace boxfinder
