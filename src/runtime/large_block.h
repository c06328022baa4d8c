#pragma once
// The program's large states (the recording alone takes 4.6 MB) in blocks of
// their own, on 2 MB pages where the system gives them. Every fresh 4 kB page
// costs a fault when it is first touched: a short run such as `analyse`
// would spend more time in those faults than in its work.

#include <cstddef>
#include <memory>
#include <new>

namespace ba {

// A zeroed block of at least `bytes`; throws std::bad_alloc when there is
// no memory. A sanitizer build takes it from the ordinary heap, where the
// sanitizer watches its ends.
void* allocate_large(std::size_t bytes);
void release_large(void* block, std::size_t bytes) noexcept;

// From this size on, LargeAllocator uses large blocks.
inline constexpr std::size_t large_block_threshold = std::size_t{1} << 19;

// For containers that may hold megabytes, such as a file's bytes.
template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    if (n * sizeof(T) >= large_block_threshold)
      return static_cast<T*>(allocate_large(n * sizeof(T)));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* block, std::size_t n) noexcept {
    if (n * sizeof(T) >= large_block_threshold)
      release_large(block, n * sizeof(T));
    else
      std::allocator<T>().deallocate(block, n);
  }
  friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};

template <class T>
struct LargeDelete {
  void operator()(T* object) const noexcept {
    object->~T();
    release_large(object, sizeof(T));
  }
};

template <class T>
using LargePtr = std::unique_ptr<T, LargeDelete<T>>;

// A value-initialised T in a large block.
template <class T>
LargePtr<T> make_large() {
  void* block = allocate_large(sizeof(T));
  try {
    return LargePtr<T>(new (block) T());
  } catch (...) {
    release_large(block, sizeof(T));
    throw;
  }
}

}  // namespace ba
