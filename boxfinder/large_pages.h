// Memory in the processor's 2 MiB pages, for the tree's large arrays: a
// large tree then takes a five hundredth of the page faults while it is
// filled, and its queries a small fraction of the address translation
// misses (a few hundred large pages cover what tens of thousands of small
// ones would).
#pragma once

#include <cstddef>
#include <new>

namespace boxfinder {

// A zero-filled mapping of at least `bytes` (rounded up to whole small pages
// and returned in `bytes`), aligned to a 2 MiB page and advised for such
// pages when it is that large. Throws std::bad_alloc.
void* MapLargePages(std::size_t& bytes);
// Returns a mapping of MapLargePages, given at least the `bytes` asked for.
void UnmapPages(void* start, std::size_t bytes) noexcept;

// An allocator for a vector that grows large: an array of at least 2 MiB is
// mapped in large pages, a smaller one comes from the heap. Which of the two
// an array came from follows from its size, so freeing needs no record.
template <class T>
struct LargePageAllocator {
  using value_type = T;
  static constexpr std::size_t kMapFrom = std::size_t{2} << 20;

  LargePageAllocator() = default;
  template <class U>
  explicit LargePageAllocator(const LargePageAllocator<U>& /*other*/) {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    std::size_t bytes = n * sizeof(T);
    if (bytes < kMapFrom)
      return static_cast<T*>(::operator new(bytes, std::align_val_t(alignof(T))));
    return static_cast<T*>(MapLargePages(bytes));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kMapFrom)
      ::operator delete(p, std::align_val_t(alignof(T)));
    else
      UnmapPages(p, bytes);
  }
  template <class U>
  bool operator==(const LargePageAllocator<U>& /*other*/) const {
    return true;
  }
  template <class U>
  bool operator!=(const LargePageAllocator<U>& /*other*/) const {
    return false;
  }
};

// A build's working array of n elements left uninitialised, through the
// same allocator, returned when it goes out of scope.
template <class T>
class LargePageArray {
 public:
  explicit LargePageArray(std::size_t n) : data_(LargePageAllocator<T>().allocate(n)), size_(n) {}
  ~LargePageArray() { LargePageAllocator<T>().deallocate(data_, size_); }
  LargePageArray(const LargePageArray&) = delete;
  LargePageArray& operator=(const LargePageArray&) = delete;
  T* get() const { return data_; }
  T& operator[](std::size_t i) const { return data_[i]; }

 private:
  T* data_;
  std::size_t size_;
};

}  // namespace boxfinder
