#include <cmath>

#include "detection/recognition.h"

namespace ba {

// Each working value is stored in single precision after every step; the
// arithmetic of one step runs in double and is rounded once when stored.
void CR(const Array1<std::int32_t, template_room>& x, const Array1<std::int32_t, template_room>& y,
        float& r, std::int32_t n) {
  r = 0.0f;
  if (n < 1 || n > template_room) return;

  float mean_x = 0.0f;
  float mean_y = 0.0f;
  for (int i = 1; i <= n; ++i) {
    mean_x = static_cast<float>(static_cast<double>(mean_x) + x(i));
    mean_y = static_cast<float>(static_cast<double>(mean_y) + y(i));
  }
  mean_x = static_cast<float>(static_cast<double>(mean_x) / n);
  mean_y = static_cast<float>(static_cast<double>(mean_y) / n);

  float sx = 0.0f;
  float sy = 0.0f;
  for (int i = 1; i <= n; ++i) {
    const double dx = x(i) - static_cast<double>(mean_x);
    const double dy = y(i) - static_cast<double>(mean_y);
    sx = static_cast<float>(sx + dx * dx);
    sy = static_cast<float>(sy + dy * dy);
  }
  sx = static_cast<float>(std::sqrt(static_cast<double>(sx) / n));
  sy = static_cast<float>(std::sqrt(static_cast<double>(sy) / n));
  // A series without spread has no defined coefficient; 0.0 never counts as
  // a match, since callers take only coefficients above the best so far.
  if (sx == 0.0f || sy == 0.0f) return;

  float sum = 0.0f;
  for (int i = 1; i <= n; ++i)
    sum = static_cast<float>(sum + (y(i) - static_cast<double>(mean_y)) *
                                       (x(i) - static_cast<double>(mean_x)));
  r = static_cast<float>(sum / ((static_cast<double>(n) * sx) * sy));
}

}  // namespace ba
