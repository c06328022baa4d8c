#pragma once
// The 16-entry palette every window keeps (index -> RGB colour).

#include <array>
#include <cstdint>

#include "runtime/platform.h"

namespace ba {

inline constexpr std::array<std::uint32_t, 16> window_palette = {
    rgb(0, 0, 0),       rgb(0, 0, 128),   rgb(0, 128, 0),   rgb(0, 128, 128),
    rgb(128, 0, 0),     rgb(128, 0, 128), rgb(128, 128, 0), rgb(192, 192, 192),
    rgb(128, 128, 128), rgb(0, 0, 255),   rgb(0, 255, 0),   rgb(0, 255, 255),
    rgb(255, 0, 0),     rgb(255, 0, 255), rgb(255, 255, 0), rgb(255, 255, 255)};

inline constexpr int new_window_background_index = 0;  // black
inline constexpr int new_window_drawing_index = 0;
inline constexpr int new_window_text_index = 15;  // white

}  // namespace ba
