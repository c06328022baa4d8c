#pragma once
// The program's own window routines.

#include <cstdint>

namespace ba {

class Io;

// Opens a new print window as `unit` and clears it to white.
void CHART_FEED(Io& io, std::int16_t unit);
// Writes time + 4000 page, right-aligned in six characters and a blank, in
// 12-pixel Times New Roman, colour index 5, top left at (x - 30, y - 50).
void LEADWR(Io& io, std::int16_t x, std::int16_t y, std::int16_t time, std::int16_t page);

}  // namespace ba
