#include "display/mouse.h"

#include "runtime/platform.h"

namespace ba {

namespace {

constexpr int pick_events = mouse_left_down | mouse_right_down;  // the set 9
constexpr float right_click_x = 0.5f;                            // stands for column 500
constexpr double columns_per_unit = 1000.0;

}  // namespace

void SELINTVL(Platform& platform, float& x) {
  x = right_click_x;
  platform.set_crosshair_cursor();
  const MouseEvent event = platform.wait_mouse_event(pick_events);
  // Divided in double and rounded once: the single-precision value nearest
  // to column / 1000, the exact inverse of the plotters' column = 1000 x.
  if (event.event == mouse_left_down) x = static_cast<float>(event.x / columns_per_unit);
}

}  // namespace ba
