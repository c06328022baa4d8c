#include "runtime/one_based.h"

namespace ba {

void throw_index_error(long index, long extent) {
  throw std::out_of_range("index " + std::to_string(index) + " outside 1.." +
                          std::to_string(extent));
}

}  // namespace ba
