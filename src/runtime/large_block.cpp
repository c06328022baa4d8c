#include "runtime/large_block.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace ba {

#if defined(__SANITIZE_ADDRESS__)
#define BEAT_WATCHED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BEAT_WATCHED_HEAP 1
#endif
#endif

#ifdef BEAT_WATCHED_HEAP
void* allocate_large(std::size_t bytes) {
  void* block = std::calloc(1, bytes);
  if (!block) throw std::bad_alloc();
  return block;
}

void release_large(void* block, std::size_t) noexcept { std::free(block); }
#else
namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

std::size_t rounded(std::size_t bytes) { return (bytes + huge_page - 1) / huge_page * huge_page; }

}  // namespace

void* allocate_large(std::size_t bytes) {
  const std::size_t size = rounded(bytes);
  // One page more than asked, so that the block can start on a 2 MB
  // boundary: only aligned 2 MB stretches become large pages.
  void* mapped =
      ::mmap(nullptr, size + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + huge_page - 1) / huge_page * huge_page;
  if (aligned > start) ::munmap(mapped, aligned - start);
  ::munmap(reinterpret_cast<void*>(aligned + size), huge_page - (aligned - start));
  auto* block = reinterpret_cast<void*>(aligned);
  // Only advice: without large pages the block works as well.
  ::madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void release_large(void* block, std::size_t bytes) noexcept { ::munmap(block, rounded(bytes)); }
#endif

}  // namespace ba
