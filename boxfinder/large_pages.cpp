#include "large_pages.h"

#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>

namespace boxfinder {

void* MapLargePages(std::size_t& bytes) {
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  const std::size_t smallPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  bytes = (bytes + smallPage - 1) / smallPage * smallPage;
  const std::size_t extra = bytes >= kLargePage ? kLargePage : 0;
  void* map =
      mmap(nullptr, bytes + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) throw std::bad_alloc();
  char* start = static_cast<char*>(map);
  if (extra > 0) {
    const std::size_t address = reinterpret_cast<std::uintptr_t>(map);
    const std::size_t head = (kLargePage - address % kLargePage) % kLargePage;
    if (head > 0) munmap(start, head);
    if (extra > head) munmap(start + head + bytes, extra - head);
    start += head;
    madvise(start, bytes, MADV_HUGEPAGE);
  }
  return start;
}

// munmap takes every page the range touches, so the length need not be
// rounded as the mapping's was.
void UnmapPages(void* start, std::size_t bytes) noexcept { munmap(start, bytes); }

}  // namespace boxfinder
