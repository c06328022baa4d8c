#pragma once
// Arrays counted from 1, as every position, index and lead number of the
// program is. All program arrays use these two templates; raw 0-based
// indexing of program data appears nowhere else.
//
// Every access is checked: an index outside the declared range throws
// std::out_of_range, which the program reports as an internal failure
// instead of reading or writing foreign memory.

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace ba {

[[noreturn]] void throw_index_error(long index, long extent);

// A vector of N elements indexed 1..N.
template <typename T, std::size_t N>
class Array1 {
 public:
  static constexpr long extent = static_cast<long>(N);

  T& operator()(long i) { return values_[offset(i)]; }
  const T& operator()(long i) const { return values_[offset(i)]; }

  void fill(const T& value) { values_.fill(value); }
  static constexpr long size() { return extent; }
  T* data() { return values_.data(); }
  const T* data() const { return values_.data(); }
  bool operator==(const Array1&) const = default;

 private:
  static std::size_t offset(long i) {
    if (i < 1 || i > extent) throw_index_error(i, extent);
    return static_cast<std::size_t>(i - 1);
  }
  std::array<T, N> values_{};
};

// A D1 x D2 matrix indexed (1..D1, 1..D2); the first index varies fastest in
// memory, so (c, t) of the sample matrix keeps one frame's channels together.
template <typename T, std::size_t D1, std::size_t D2>
class Matrix1 {
 public:
  static constexpr long extent1 = static_cast<long>(D1);
  static constexpr long extent2 = static_cast<long>(D2);

  T& operator()(long i, long j) { return values_[offset(i, j)]; }
  const T& operator()(long i, long j) const { return values_[offset(i, j)]; }

  void fill(const T& value) { values_.fill(value); }
  T* data() { return values_.data(); }
  const T* data() const { return values_.data(); }

 private:
  static std::size_t offset(long i, long j) {
    if (i < 1 || i > extent1) throw_index_error(i, extent1);
    if (j < 1 || j > extent2) throw_index_error(j, extent2);
    return static_cast<std::size_t>((j - 1) * extent1 + (i - 1));
  }
  std::array<T, D1 * D2> values_{};
};

}  // namespace ba
