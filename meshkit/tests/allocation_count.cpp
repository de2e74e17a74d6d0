// Global operator new and delete that count allocations, so that tests can
// show an operation allocates nothing.
#include "allocation_count.h"

#include <cstdlib>
#include <new>

namespace {
std::size_t gAllocations = 0;

void* Allocate(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

std::size_t volume_test::AllocationCount() { return gAllocations; }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
